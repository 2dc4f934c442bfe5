#!/usr/bin/env python3
"""load-json and to-json against Python's json module: the project's fixtures in
tests/fixtures/json (y_ files decode to what json.loads gives, n_ files to the error value, i_
files as docs/design.md says), then seeded random value trees both ways: to-json's text read by
json.loads, and json.dumps's text read by load-json. Objects compare with case-sensitive keys,
numbers as doubles. Usage: json-codec.py path/to/qel"""
import json
import os
import random
import sys

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "harness"))
from qel_script import qel_string, run_checks  # noqa: E402

SEED = 20261211
TREES = 100
FIXTURES = os.path.join(os.path.dirname(__file__), "..", "fixtures", "json")

# What this decoder does where JSON leaves it open, as OUTCOME shows it.
IMPLEMENTATION_DEFINED = {
    "i_number_huge_exponent": "math/overflow",
    "i_number_tiny_exponent": "[0.0]",
    "i_number_huge_integer": "[1.2345678901234567e19]",
    "i_string_lone_high_surrogate": "script/invalid-data",
    "i_string_lone_low_surrogate": "56320",  # by CODE_POINT
    "i_object_duplicate_keys": '{"a":2}',
}

rng = random.Random(SEED)


def normal(value):
    """The value with every number a float, for comparing as doubles."""
    if isinstance(value, bool) or value is None or isinstance(value, str):
        return value
    if isinstance(value, (int, float)):
        return float(value)
    if isinstance(value, list):
        return [normal(v) for v in value]
    return {k: normal(v) for k, v in value.items()}


def python_rejects(text):
    def refuse(name):
        raise ValueError(name)
    try:
        json.loads(text, parse_constant=refuse)
    except ValueError:
        return True
    return False


# Outcome of load-json as one line: "error-value" for the returned error, the category/id of
# an error raised, else the value as ASCII JSON.
OUTCOME = ("r: try [load-json {}] print case [all [error? :r r/type = 'user] [\"error-value\"] "
           "error? :r [rejoin [r/type \"/\" r/id]] true [to-json/ascii :r]]")
# A lone low surrogate is kept as its code point, which no output encoding writes: its number.
CODE_POINT = "print to-integer first first load-json {}"


def random_string():
    alphabet = "aZ \"\\/\b\f\n\r\t\x00\x1f\x7f\u00e9\u263a\U0001F600\u2028"
    return "".join(rng.choice(alphabet) for _ in range(rng.randrange(8)))


def random_tree(depth=0):
    kind = rng.randrange(9 if depth < 4 else 6)
    if kind == 0:
        return rng.randrange(-2**31, 2**31)
    if kind == 1:
        return rng.choice([0.1, -0.0, 1e-20, 1e300, 2.5]) if rng.random() < 0.3 else \
            rng.uniform(-1, 1) * 10.0 ** rng.randrange(-30, 30)
    if kind == 2:
        return random_string()
    if kind == 3:
        return rng.choice([True, False])
    if kind in (4, 5):
        return None if kind == 4 else rng.choice(["", "x"])
    if kind in (6, 7):
        return [random_tree(depth + 1) for _ in range(rng.randrange(4))]
    keys = ["a", "A", "my key", "", "\u00e9", "k1", "K1", "x\"y"]
    return {rng.choice(keys) + random_string()[:1]: random_tree(depth + 1) for _ in range(rng.randrange(4))}


def qel_value(value):
    """Qel code that makes the value (maps filled case-sensitively by the helper `obj`)."""
    if value is None:
        return "none"
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, int):
        return str(value)
    if isinstance(value, float):
        return repr(value).replace("e+", "e")
    if isinstance(value, str):
        return qel_string(value)
    if isinstance(value, list):
        return "reduce [" + " ".join(qel_value(v) for v in value) + "]"
    return "obj reduce [" + " ".join(qel_string(k) + " " + qel_value(v) for k, v in value.items()) + "]"


def main():
    qel = sys.argv[1]
    lines = ["obj: func [pairs /local m] [m: make map! [] foreach [k v] pairs [put/case m k :v] m] print 0"]
    checks = [lambda got: got == "0" or "helper: " + got]
    for name in sorted(os.listdir(FIXTURES)):
        with open(os.path.join(FIXTURES, name), encoding="utf-8", newline="") as f:
            text = f.read()
        stem = name[:-len(".json")]
        if stem.startswith("y_"):
            lines.append(OUTCOME.format(qel_string(text)))
            want = normal(json.loads(text))
            checks.append(lambda got, want=want, stem=stem:
                          got.startswith(("[", "{", '"', "-", "0", "1", "2", "3", "4", "5", "6", "7", "8", "9",
                                          "t", "f", "n")) and normal(json.loads(got)) == want or f"{stem}: {got}")
        elif stem.startswith("n_"):
            if not python_rejects(text):
                checks.append(lambda got, stem=stem: f"{stem}: the fixture is valid JSON")
            else:
                checks.append(lambda got, stem=stem: got == "error-value" or f"{stem}: {got}")
            lines.append(OUTCOME.format(qel_string(text)))
        else:
            lines.append((CODE_POINT if "low_surrogate" in stem else OUTCOME).format(qel_string(text)))
            want = IMPLEMENTATION_DEFINED[stem]
            checks.append(lambda got, want=want, stem=stem: got == want or f"{stem}: {got}, want {want}")
    for _ in range(TREES):
        tree = random_tree()
        ascii_only = rng.random() < 0.5
        # Qel's text read by Python.
        lines.append(f"print to-json/ascii {qel_value(tree)}")
        checks.append(lambda got, tree=tree: normal(json.loads(got)) == normal(tree) or f"to-json {tree!r}: {got}")
        # Python's text read by Qel.
        lines.append(OUTCOME.format(qel_string(json.dumps(tree, ensure_ascii=ascii_only))))
        checks.append(lambda got, tree=tree: got not in ("error-value",) and not got.startswith(("script/", "math/"))
                      and normal(json.loads(got)) == normal(tree) or f"load-json {tree!r}: {got}")
    return run_checks(qel, lines, checks)


if __name__ == "__main__":
    sys.exit(main())
