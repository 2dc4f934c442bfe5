"""Runs lines of Qel as a script in the qel program and answers what each printed line says."""
import os
import subprocess
import tempfile


def rounds(normal, torture):
    """How many random rounds an oracle runs. Under the collector's torture mode every line costs
    a full collection at each safe point, and past the first few dozen rounds the torture copy
    only repeats the kinds of lines it has already run; every kind still runs in each round."""
    return torture if os.environ.get("QEL_GC_TORTURE") else normal


def run_lines(qel, lines):
    """The output lines of a script of `lines`; None (after printing what came out) when their
    count is not the count of the lines."""
    with tempfile.NamedTemporaryFile("w", suffix=".qel") as script:
        script.write("Qel []\n" + "\n".join(lines) + "\n")
        script.flush()
        out = subprocess.run([qel, script.name], capture_output=True, text=True, timeout=120)
    results = out.stdout.splitlines()
    if len(results) != len(lines):
        print(f"expected {len(lines)} lines, got {len(results)}:\n{out.stdout}{out.stderr}")
        return None
    return results


def report(failures, shown=5):
    """Prints the first failures (texts) and answers the exit status."""
    for text in failures[:shown]:
        print(text)
    return 1 if failures else 0


def check_printed(qel, lines, expected):
    """Runs `lines` and answers the exit status: each printed line must read as its expected text."""
    results = run_lines(qel, lines)
    if results is None:
        return 1
    return report([f"{line}\n  got {got}\n  want {want}" for line, got, want in zip(lines, results, expected)
                   if got.strip() != want])


def qel_string(text):
    """A Qel string literal of the text: ^ and " escaped, everything outside printable ASCII as
    ^(hex)."""
    out = ['"']
    for c in text:
        code = ord(c)
        if c == "^":
            out.append("^^")
        elif c == '"':
            out.append('^"')
        elif 0x20 <= code < 0x7F:
            out.append(c)
        else:
            out.append(f"^({code:X})")
    out.append('"')
    return "".join(out)


def run_checks(qel, lines, checks):
    """Runs `lines` and answers the exit status: each check takes its line's printed text and
    answers True or the text of its failure."""
    results = run_lines(qel, lines)
    if results is None:
        return 1
    failures = []
    for line, got, check in zip(lines, results, checks):
        verdict = check(got.strip())
        if verdict is not True:
            failures.append(f"{verdict}\n  line: {line[:200]}")
    return report(failures)
