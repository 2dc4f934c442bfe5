#!/usr/bin/env python3
"""Decodes streams with Python's zlib module (and gzip streams with gzip -dc too) and checks
them against their originals. Reads lines <format> <label> <hex of the original> <hex of the
stream> from the file named by the first argument ("-" for no bytes); prints one line
"bad <label> <how>" per failure, then "checked <number of streams>"."""
import subprocess
import sys
import zlib

WINDOW_BITS = {"deflate": -15, "zlib": 15, "gzip": 31}


def unhex(text):
    return b"" if text == "-" else bytes.fromhex(text)


def failures(kind, original, stream):
    decoder = zlib.decompressobj(WINDOW_BITS[kind])
    try:
        if decoder.decompress(stream) + decoder.flush() != original:
            yield "zlib-module-bytes"
        elif not decoder.eof or decoder.unused_data:
            yield "zlib-module-end"
    except zlib.error as error:
        yield "zlib-module-error:" + str(error).replace(" ", "_")
    if kind == "gzip":
        run = subprocess.run(["gzip", "-dc"], input=stream, capture_output=True)
        if run.returncode != 0 or run.stdout != original:
            yield "gzip-dc"


count = 0
with open(sys.argv[1]) as lines:
    for line in lines:
        kind, label, original, stream = line.split()
        count += 1
        for how in failures(kind, unhex(original), unhex(stream)):
            print("bad", kind, label, how)
print("checked", count)
