#!/usr/bin/env python3
"""money! arithmetic, round and conversion from floats against Python's decimal: add, subtract,
multiply, divide and remainder on random amounts of 1 to 22 digits with their errors, round with
every refinement at several scales, and money from doubles (their shortest digits, the fraction
cut after five places). Usage: money-decimal.py path/to/qel"""
import decimal
import os
import random
import sys
from decimal import ROUND_DOWN, Decimal

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "harness"))
from qel_script import check_printed, rounds  # noqa: E402

SEED = 20261211
ROUNDS = rounds(120, 40)
decimal.getcontext().prec = 60
STEP = Decimal("0.00001")
LIMIT = Decimal(10) ** 17
REFINEMENTS = ["", "/even", "/down", "/half-down", "/floor", "/ceiling", "/half-ceiling"]
SCALES = ["$0.01", "$0.05", "$0.75", "2", "$0.00001"]

rng = random.Random(SEED)


def random_amount():
    digits = rng.randint(1, 22)
    units = rng.randrange(10 ** (digits - 1), 10 ** digits) if rng.random() < 0.9 else rng.randrange(10 ** digits)
    value = Decimal(units) * STEP
    return -value if rng.random() < 0.5 else value


def text(value):
    """The mold/all text of an amount."""
    sign = "-" if value < 0 else ""
    return f"{sign}${abs(value).quantize(STEP)}"


def checked(value):
    value = value.quantize(STEP, rounding=ROUND_DOWN)
    return "type-limit" if abs(value) >= LIMIT else text(value)


def operation(op, a, b):
    if op in ("add", "subtract"):
        return checked(a + b if op == "add" else a - b)
    if op == "multiply":
        product = (a * b).quantize(STEP, rounding=ROUND_DOWN)
        return "type-limit" if (product == 0 and a * b != 0) or abs(product) >= LIMIT else text(product)
    if b == 0:
        return "zero-divide"
    if op == "remainder":
        return text(a.copy_abs() % b.copy_abs() * (1 if a >= 0 else -1))
    quotient = (a / b).quantize(STEP, rounding=ROUND_DOWN)
    return "type-limit" if (quotient == 0 and a != 0) or abs(quotient) >= LIMIT else text(quotient)


def rounded(value, scale, refinement):
    a, s = abs(value), abs(scale)
    r = a % s
    if r == 0:
        return text(value)
    down, up = a - r, a - r + s
    tie, positive = r == s - r, value > 0
    choice = up if r >= s - r else down
    if refinement == "/down":
        choice = down
    elif refinement == "/floor":
        choice = down if positive else up
    elif refinement == "/ceiling":
        choice = up if positive else down
    elif tie and refinement == "/even":
        choice = down if (a // s) % 2 == 0 else up
    elif tie and refinement == "/half-down":
        choice = down
    elif tie and refinement == "/half-ceiling":
        choice = up if positive else down
    if choice >= LIMIT:
        return "type-limit"
    return text(choice if positive else -choice)


def scale_value(scale):
    return Decimal(scale.lstrip("$"))


def random_double():
    exponent = rng.randint(-8, 18)
    x = rng.random() * 10.0 ** exponent
    return -x if rng.random() < 0.5 else x


def line(expression):
    return f"t: try [{expression}] print either error! = type? t [t/id] [mold/all t]"


def main():
    qel = sys.argv[1]
    lines, expected = [], []
    for _ in range(ROUNDS):
        a = random_amount()
        b = rng.choice([random_amount(), Decimal(rng.randint(-9, 9)) * STEP, Decimal(0)])
        for op in ("add", "subtract", "remainder"):
            lines.append(line(f"{op} {text(a)} {text(b)}"))
            expected.append(operation(op, a, b))
        n = rng.choice([rng.randint(-99, 99), rng.randint(-2 ** 31, 2 ** 31 - 1)])
        for op in ("multiply", "divide"):
            lines.append(line(f"{op} {text(a)} {n}"))
            expected.append(operation(op, a, Decimal(n)))
        scale, refinement = rng.choice(SCALES), rng.choice(REFINEMENTS)
        lines.append(line(f"round/to{refinement} {text(a)} {scale}"))
        expected.append(rounded(a, scale_value(scale), refinement))
        x = random_double()
        lines.append(line(f"to money! {x!r}"))
        expected.append("bad-make-arg" if abs(x) >= 1e17 else text(Decimal(repr(x)).quantize(STEP, rounding=ROUND_DOWN)))
    return check_printed(qel, lines, expected)


if __name__ == "__main__":
    sys.exit(main())
