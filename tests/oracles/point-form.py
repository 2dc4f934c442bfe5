#!/usr/bin/env python3
"""point2D! and point3D! forms of random doubles against '%.7g' of the value rounded to float32,
the exponent written without "+" and leading zeros; a double beyond float32 becomes an infinity. Usage: point-form.py path/to/qel"""
import os
import random
import struct
import sys

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "harness"))
from qel_script import report, run_lines  # noqa: E402

SEED = 19650218
COUNT = 400

rng = random.Random(SEED)


def float32(x):
    return struct.unpack("f", struct.pack("f", x))[0]


def expected_text(x):
    v = float32(x)
    if v == 0.0:
        return "0"
    if v in (float("inf"), float("-inf")):  # beyond the largest float32
        return "1.#INF" if v > 0 else "-1.#INF"
    text = "%.7g" % v
    mantissa, e, exponent = text.partition("e")
    return mantissa + ("e" + str(int(exponent)) if e else "")


def random_double():
    magnitude = 10.0 ** rng.uniform(-40, 38)
    return rng.choice([-1, 1]) * rng.uniform(1.0, 10.0) * magnitude


def main():
    qel = sys.argv[1]
    values = [random_double() for _ in range(COUNT * 3)]
    lines = []
    for i in range(0, len(values), 3):
        x, y, z = values[i:i + 3]
        lines.append(f"print mold make point2D! [{x!r} {y!r}]")
        lines.append(f"print mold make point3D! [{x!r} {y!r} {z!r}]")
    results = run_lines(qel, lines)
    if results is None:
        return 1
    failures = []
    for n, text in enumerate(results):
        x, y, z = values[(n // 2) * 3:(n // 2) * 3 + 3]
        want = "(" + ", ".join(expected_text(v) for v in ([x, y] if n % 2 == 0 else [x, y, z])) + ")"
        if text != want:
            failures.append(f"{lines[n]}\n  got  {text}\n  want {want}")
    return report(failures)


if __name__ == "__main__":
    sys.exit(main())
