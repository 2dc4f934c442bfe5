#!/usr/bin/env python3
"""load-csv and to-csv against Python's csv module: the project's fixtures in tests/fixtures/csv
read as csv.reader reads them, then seeded random tables (fields with commas, quotes, CR, LF,
spaces and non-ASCII) written by to-csv and read back by csv.reader and by load-csv, and
written by csv.writer and read by load-csv. An empty line is a row of one empty field here and
an empty row in Python. Usage: csv-codec.py path/to/qel"""
import csv
import io
import json
import os
import random
import sys

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "harness"))
from qel_script import qel_string, rounds, run_checks  # noqa: E402

SEED = 20261211
TABLES = rounds(20, 8)
FIXTURES = os.path.join(os.path.dirname(__file__), "..", "fixtures", "csv")
ALPHABET = ["a", "B", " ", ",", '"', "\r", "\n", "\r\n", ";", "\u00e9", "\u263a", "\U0001F600"]

rng = random.Random(SEED)


def python_rows(text):
    return [row or [""] for row in csv.reader(io.StringIO(text, newline=""))]


def random_table():
    width = 1 + rng.randrange(4)
    return [["".join(rng.choice(ALPHABET) for _ in range(rng.randrange(6))) for _ in range(width)]
            for _ in range(1 + rng.randrange(5))]


def qel_table(rows):
    return "[" + " ".join("[" + " ".join(qel_string(field) for field in row) + "]" for row in rows) + "]"


def main():
    qel = sys.argv[1]
    lines, checks = [], []

    def expect(line, want, what):
        lines.append(line)
        checks.append(lambda got: json.loads(got) == want or f"{what}: got {got}, want {want}")

    for name in sorted(os.listdir(FIXTURES)):
        with open(os.path.join(FIXTURES, name), encoding="utf-8", newline="") as f:
            text = f.read()
        expect(f"print to-json/ascii load-csv {qel_string(text)}", python_rows(text), name)
    for _ in range(TABLES):
        rows = random_table()
        table = qel_table(rows)
        # to-csv's text as csv.reader reads it, and as load-csv reads it.
        lines.append(f"print to-json/ascii to-csv {table}")
        checks.append(lambda got, rows=rows: python_rows(json.loads(got)) == rows or f"to-csv {rows!r}: {got}")
        expect(f"print to-json/ascii load-csv to-csv {table}", rows, f"round trip {rows!r}")
        # csv.writer's text as load-csv reads it.
        written = io.StringIO(newline="")
        csv.writer(written).writerows(rows)
        expect(f"print to-json/ascii load-csv {qel_string(written.getvalue())}", rows, f"csv.writer {rows!r}")
    return run_checks(qel, lines, checks)


if __name__ == "__main__":
    sys.exit(main())
