#!/usr/bin/env python3
"""date! calendar fields and arithmetic against Python's datetime over the whole year range
(-16384 to 16383): yearday, weekday, Sunday-based week, ISO week, d + k and d1 - d2. Years
outside what datetime holds are moved by whole 400-year cycles (146,097 days), which repeat the
calendar exactly. Usage: date-calendar.py path/to/qel"""
import calendar
import datetime
import os
import random
import sys

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "harness"))
from qel_script import check_printed, rounds  # noqa: E402

SEED = 20261211
ROUNDS = rounds(120, 40)
CYCLE = 146097
YEAR_MIN, YEAR_MAX = -16384, 16383
ALWAYS = [0, 1, -1, 400, -400, YEAR_MAX, YEAR_MIN + 1, YEAR_MIN]
BASE = datetime.date(2000, 1, 1).toordinal()

rng = random.Random(SEED)


def shifted(year):
    """The year moved into 2000-2399 and the number of cycles moved."""
    cycles = (year - 2000) // 400
    return year - 400 * cycles, cycles


def ordinal(year, month, day):
    y, cycles = shifted(year)
    return datetime.date(y, month, day).toordinal() + CYCLE * cycles


def from_ordinal(n):
    cycles = (n - BASE) // CYCLE
    d = datetime.date.fromordinal(n - CYCLE * cycles)
    return d.year + 400 * cycles, d.month, d.day


def fields(year, month, day):
    y, _ = shifted(year)
    d = datetime.date(y, month, day)
    jan1 = datetime.date(y, 1, 1)
    week = int(d.strftime("%U")) + (0 if jan1.isoweekday() == 7 else 1)
    return f"{d.timetuple().tm_yday} {d.isoweekday()} {week} {d.isocalendar()[1]}"


def random_date():
    year = rng.choice(ALWAYS) if rng.random() < 0.2 else rng.randint(YEAR_MIN, YEAR_MAX)
    month = rng.randint(1, 12)
    return year, month, rng.randint(1, calendar.monthrange(shifted(year)[0], month)[1])


def make(date):
    year, month, day = date
    return f"make date! [{day} {month} {year}]"


def main():
    qel = sys.argv[1]
    lines, expected = [], []
    first, last = ordinal(YEAR_MIN, 1, 1), ordinal(YEAR_MAX, 12, 31)
    for _ in range(ROUNDS):
        a, b = random_date(), random_date()
        k = rng.choice([rng.randint(-400, 400), rng.randint(-3_000_000, 3_000_000)])
        lines.append(f"d: {make(a)} print [d/yearday d/weekday d/week d/isoweek]")
        expected.append(fields(*a))
        n = ordinal(*a) + k
        lines.append(f"t: try [x: add {make(a)} {k}] print either error! = type? t [t/id] [reduce [x/year x/month x/day]]")
        expected.append("overflow" if not first <= n <= last else " ".join(map(str, from_ordinal(n))))
        lines.append(f"print subtract {make(a)} {make(b)}")
        expected.append(str(ordinal(*a) - ordinal(*b)))
    return check_printed(qel, lines, expected)


if __name__ == "__main__":
    sys.exit(main())
