#!/usr/bin/env python3
"""Prints streams made by Python's zlib and gzip modules and by gzip -c over a corpus, one per
line: <format> <label> <hex of the original> <hex of the stream>, format one of deflate, zlib,
gzip.
The corpus is seeded, so every run prints the same lines for one zlib version, but for the time
gzip -c writes into its headers."""
import gzip
import io
import json
import os
import random
import subprocess
import tempfile
import zlib

rng = random.Random(2026)


def corpus():
    text = ("The quick brown fox jumps over the lazy dog. " * 40).encode()
    record = json.dumps([{"id": i, "name": "item %d" % i, "tags": ["a", "b"][: i % 3]} for i in range(200)])
    far = bytes(rng.randrange(256) for _ in range(300))
    yield "empty", b""
    yield "one-byte", b"x"
    yield "three-bytes", b"abc"
    yield "run-258", b"a" * 258
    yield "run-259", b"b" * 259
    yield "text", text
    yield "json", record.encode()
    yield "utf8", "Grüße, 世界 ".encode() * 30
    yield "random-70k", bytes(rng.randrange(256) for _ in range(70000))
    # The same block again just inside and just past the largest distance.
    yield "far-repeats", far + bytes(32768 - 300) + far + bytes(32769 - 300) + far


def deflate(data, level, wbits, flush=None):
    encoder = zlib.compressobj(level, zlib.DEFLATED, wbits)
    if flush is None:
        return encoder.compress(data) + encoder.flush()
    half = len(data) // 2
    return encoder.compress(data[:half]) + encoder.flush(flush) + encoder.compress(data[half:]) + encoder.flush()


def named_gzip(data):
    buffer = io.BytesIO()
    with gzip.GzipFile(filename="corpus.txt", mode="wb", fileobj=buffer, mtime=0) as file:
        file.write(data)
    return buffer.getvalue()


def gzip_command(data):
    """What gzip -c writes for a file of the data (its name and time in the header)."""
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "corpus.txt")
        with open(path, "wb") as file:
            file.write(data)
        return subprocess.run(["gzip", "-c", path], capture_output=True, check=True).stdout


def streams(data):
    for level in (0, 1, 6, 9):
        yield "deflate", "level-%d" % level, deflate(data, level, -15)
        yield "zlib", "level-%d" % level, deflate(data, level, 15)
        yield "gzip", "level-%d" % level, deflate(data, level, 31)
    for name, flush in (("sync-flush", zlib.Z_SYNC_FLUSH), ("full-flush", zlib.Z_FULL_FLUSH)):
        yield "deflate", name, deflate(data, 6, -15, flush)
        yield "zlib", name, deflate(data, 6, 15, flush)
    yield "gzip", "named", named_gzip(data)
    yield "gzip", "gzip-c", gzip_command(data)


for label, data in corpus():
    for kind, how, stream in streams(data):
        print(kind, label + "/" + how, data.hex() or "-", stream.hex())
