#!/usr/bin/env python3
"""bitset! and~, or~, xor~ and the set natives against Python sets, on random arrays of 0-40 bytes of both
flags; a negated bitset is the complement of its excluded numbers within a universe beyond both
arrays. Usage: bitset-set-ops.py path/to/qel"""
import os
import random
import re
import sys

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "harness"))
from qel_script import report, rounds, run_lines  # noqa: E402

SEED = 20261211
ROUNDS = rounds(150, 30)
UNIVERSE = 41 * 8 + 64  # past the longest array, so the flag's reach is tested too

rng = random.Random(SEED)


def random_spec():
    data = bytes(rng.randrange(256) for _ in range(rng.randrange(41)))
    negated = rng.random() < 0.5
    hexed = data.hex().upper()
    if negated:  # the bytes name the excluded numbers; the stored array is their complement
        return f"make bitset! [not #{{{hexed}}}]", members(bytes(255 - b for b in data), True)
    return f"make bitset! #{{{hexed}}}", members(data, False)


def members(array, negated):
    return {n for n in range(UNIVERSE)
            if (n // 8 < len(array) and array[n // 8] & (0x80 >> (n % 8))) or (n // 8 >= len(array) and negated)}


def parse_mold(text):
    m = re.fullmatch(r"make bitset! (\[not )?#\{([0-9A-F]*)\}\]?", text.strip())
    if not m:
        raise ValueError(f"not a bitset mold: {text!r}")
    negated = m.group(1) is not None
    array = bytes.fromhex(m.group(2))
    if negated:
        array = bytes(255 - b for b in array)
    return members(array, negated)


OPS = {"and~": lambda a, b: a & b, "or~": lambda a, b: a | b, "xor~": lambda a, b: a ^ b,
       "union": lambda a, b: a | b, "intersect": lambda a, b: a & b, "exclude": lambda a, b: a - b,
       "difference": lambda a, b: a ^ b}


def main():
    qel = sys.argv[1]
    cases, lines = [], []
    for _ in range(ROUNDS):
        (a_text, a), (b_text, b) = random_spec(), random_spec()
        for op, expected in OPS.items():
            cases.append((f"{op} {a_text} {b_text}", expected(a, b)))
            lines.append(f"print mold {op} {a_text} {b_text}")
    results = run_lines(qel, lines)
    if results is None:
        return 1
    failures = []
    for (expression, expected), text in zip(cases, results):
        got = parse_mold(text)
        if got != expected:
            failures.append(f"{expression}\n  got {text}\n  differs at {sorted(got ^ expected)[:8]}")
    return report(failures)


if __name__ == "__main__":
    sys.exit(main())
