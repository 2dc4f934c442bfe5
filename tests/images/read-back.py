"""Reads an image file with PIL or ImageMagick and writes its RGBA bytes.
Usage: read-back.py pil|magick FILE OUT"""
import subprocess
import sys

reader, path, out = sys.argv[1:4]
if reader == "pil":
    from PIL import Image
    data = Image.open(path).convert("RGBA").tobytes()
else:
    data = subprocess.run(["/usr/bin/convert", path, "-depth", "8", "rgba:-"], check=True, capture_output=True).stdout
with open(out, "wb") as f:
    f.write(data)
