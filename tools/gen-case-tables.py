#!/usr/bin/env python3
"""gen-case-tables.py: writes the simple case mappings of Unicode 11.0 as C++ pair lists.

The case layer (datatypes/series/case-map.cpp) maps code points through four lists of
(from, to) pairs, each sorted by from: to upper case and to lower case, once for U+0000-U+FFFF
and once above U+FFFF. They are the simple mappings of UnicodeData.txt (field 12 uppercase,
field 13 lowercase) restricted to Unicode 11.0: a pair is kept only when both of its code points
were assigned in 11.0 or earlier according to DerivedAge.txt. Case pairs are stable across
versions, so newer data restricted this way gives 11.0's mappings and drops later ones.

Input: the Debian package unicode-data (files under /usr/share/unicode). Output: the committed
file datatypes/series/case-tables.inc. The build never runs this script; a test
(tools/check-case-tables.sh) regenerates into a temporary file and compares when the data is
installed.

Re-running it, from the repository root:

    apt-get install -y python3 unicode-data
    python3 tools/gen-case-tables.py
    git diff datatypes/series/case-tables.inc

Options: --unicode-dir DIR (default /usr/share/unicode), --output PATH (default
datatypes/series/case-tables.inc below the repository root). Python 3 standard library only.
"""

import argparse
import bisect
import pathlib
import sys

AGE_LIMIT = (11, 0)
REPO_ROOT = pathlib.Path(__file__).resolve().parent.parent
PAIRS_PER_LINE = 4


def parse_ages(path):
    """Answers a function from code point to its (major, minor) age, None when unassigned."""
    ranges = []
    for line in path.read_text(encoding="utf-8").splitlines():
        data = line.split("#", 1)[0].strip()
        if not data:
            continue
        span, age = (field.strip() for field in data.split(";"))
        first, _, last = span.partition("..")
        major, minor = age.split(".")
        ranges.append((int(first, 16), int(last or first, 16), (int(major), int(minor))))
    ranges.sort()
    firsts = [first for first, _, _ in ranges]

    def age_of(code_point):
        index = bisect.bisect_right(firsts, code_point) - 1
        if index >= 0 and code_point <= ranges[index][1]:
            return ranges[index][2]
        return None

    return age_of


def parse_mappings(path):
    """Answers the (from, to) pairs of fields 12 (upper) and 13 (lower), each sorted by from."""
    upper, lower = [], []
    for line in path.read_text(encoding="utf-8").splitlines():
        fields = line.split(";")
        if len(fields) < 15:
            continue
        code_point = int(fields[0], 16)
        if fields[12]:
            upper.append((code_point, int(fields[12], 16)))
        if fields[13]:
            lower.append((code_point, int(fields[13], 16)))
    return sorted(upper), sorted(lower)


def within_age(pairs, age_of):
    """Keeps the pairs whose two code points are both assigned no later than AGE_LIMIT."""
    def old_enough(code_point):
        age = age_of(code_point)
        return age is not None and age <= AGE_LIMIT
    return [(a, b) for a, b in pairs if old_enough(a) and old_enough(b)]


def split_at_bmp(pairs):
    """Splits a pair list into the pairs from U+0000-U+FFFF and those from above U+FFFF.

    The lookup tables rely on a mapping never crossing between the two ranges."""
    bmp = [(a, b) for a, b in pairs if a <= 0xFFFF]
    above = [(a, b) for a, b in pairs if a > 0xFFFF]
    if any(b > 0xFFFF for _, b in bmp) or any(b <= 0xFFFF for _, b in above):
        sys.exit("a case mapping crosses U+FFFF; the BMP table layout cannot hold it")
    return bmp, above


def c_list(name, pairs):
    """Formats one pair list as a C++ array definition."""
    lines = [f"inline constexpr CasePair {name}[] = {{  // {len(pairs)} pairs"]
    for start in range(0, len(pairs), PAIRS_PER_LINE):
        row = pairs[start:start + PAIRS_PER_LINE]
        lines.append("    " + " ".join(f"{{0x{a:04X}, 0x{b:04X}}}," for a, b in row))
    lines.append("};")
    return "\n".join(lines)


def render(upper, lower):
    """Answers the text of case-tables.inc."""
    upper_bmp, upper_above = split_at_bmp(upper)
    lower_bmp, lower_above = split_at_bmp(lower)
    parts = [
        "// case-tables.inc: simple case mappings of Unicode 11.0, (from, to) sorted by from.",
        "// Written by tools/gen-case-tables.py from UnicodeData.txt and DerivedAge.txt; do not edit.",
        "",
        c_list("kUpperBmpPairs", upper_bmp),
        "",
        c_list("kLowerBmpPairs", lower_bmp),
        "",
        c_list("kUpperAboveBmpPairs", upper_above),
        "",
        c_list("kLowerAboveBmpPairs", lower_above),
        "",
    ]
    return "\n".join(parts)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--unicode-dir", default="/usr/share/unicode", type=pathlib.Path)
    parser.add_argument("--output", default=REPO_ROOT / "datatypes/series/case-tables.inc", type=pathlib.Path)
    args = parser.parse_args()

    age_of = parse_ages(args.unicode_dir / "DerivedAge.txt")
    upper, lower = parse_mappings(args.unicode_dir / "UnicodeData.txt")
    text = render(within_age(upper, age_of), within_age(lower, age_of))
    args.output.write_text(text, encoding="utf-8")


if __name__ == "__main__":
    main()
