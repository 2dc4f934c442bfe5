#!/usr/bin/env python3
"""checksum's CRC-32, Adler-32, internet checksum, digests and HMACs against Python's zlib, hashlib
and hmac on seeded inputs of 0-70,000 bytes: Adler block edges, odd lengths, runs of high bytes
that carry past 32 bits of sum, and HMAC keys either side of both block sizes.
Usage: checksums.py path/to/qel"""
import hashlib
import hmac
import os
import random
import sys
import zlib

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "harness"))
from qel_script import report, run_lines  # noqa: E402

SEED = 20261211
SIZES = [0, 1, 2, 3, 15, 16, 17, 63, 64, 65, 3853, 3854, 3855, 5551, 5552, 5553, 11105, 65537, 70000]
DIGESTS = ["md5", "sha1", "sha256", "sha384", "sha512"]
KEY_SIZES = [0, 63, 64, 65, 127, 128, 129]

rng = random.Random(SEED)


def tcp(data):
    total = sum(int.from_bytes(data[k:k + 2].ljust(2, b"\0"), "big") for k in range(0, len(data), 2))
    while total > 0xFFFF:
        total = (total >> 16) + (total & 0xFFFF)
    return ~total & 0xFFFF


def signed(word):
    return word - (1 << 32) if word >= 1 << 31 else word


def qel_binary(data):
    return "#{" + data.hex().upper() + "}"


def main():
    qel = sys.argv[1]
    cases, lines = [], []

    def check(line, expected):
        lines.append(line)
        cases.append((line[:120], expected))

    inputs = [bytes(rng.randrange(256) for _ in range(n)) for n in SIZES]
    inputs += [b"\xff" * 70000, b"\xfe" * 70001]
    for data in inputs:
        lines.append(f"d: {qel_binary(data)} print length? d")
        cases.append((f"{len(data)} bytes", str(len(data))))
        check("print checksum d 'crc32", str(signed(zlib.crc32(data))))
        check("print checksum d 'adler32", str(signed(zlib.adler32(data))))
        check("print checksum d 'tcp", str(tcp(data)))
        for method in DIGESTS:
            check(f"print enbase/base checksum d '{method} 16", hashlib.new(method, data).hexdigest().upper())
        if len(data) in (0, 65, 5553):
            for method in DIGESTS:
                for size in KEY_SIZES:
                    key = bytes(rng.randrange(256) for _ in range(size))
                    expected = hmac.new(key, data, method).hexdigest().upper()
                    check(f"print enbase/base checksum/with d '{method} {qel_binary(key)} 16", expected)
    text = "naïve €uro"
    check(f'print enbase/base checksum/with "{text}" \'sha256 "clé" 16',
          hmac.new("clé".encode(), text.encode(), "sha256").hexdigest().upper())
    results = run_lines(qel, lines)
    if results is None:
        return 1
    failures = [f"{what}\n  got {got}\n  expected {expected}"
                for (what, expected), got in zip(cases, results) if got != expected]
    return report(failures)


if __name__ == "__main__":
    sys.exit(main())
