"""Writes seeded image fixtures into a folder, each with the RGBA pixels a reference reader sees.

For every fixture NAME it writes NAME (the encoded file) and NAME.rgba (width and height as two
little-endian 32-bit words, then the RGBA bytes), and a line "NAME TOLERANCE" in manifest.txt:
the largest difference per channel the decoder may show. The reference is PIL, except for CMYK
JPEG (ImageMagick). BMP variants PIL cannot write are built byte by byte.
Usage: make-fixtures.py FOLDER
"""
import io
import os
import random
import struct
import subprocess
import sys

from PIL import Image

CONVERT = "/usr/bin/convert"
out = sys.argv[1]
rng = random.Random(20261211)
manifest = []


def smooth(w, h, mode="RGB"):
    im = Image.new("RGB", (w, h))
    im.putdata([((x * 255) // max(w - 1, 1), (y * 255) // max(h - 1, 1), ((x + y) * 7) % 256)
                for y in range(h) for x in range(w)])
    return im.convert(mode)


def noisy(w, h, mode="RGBA"):
    im = Image.new("RGBA", (w, h))
    im.putdata([tuple(rng.randrange(256) for _ in range(4)) for _ in range(w * h)])
    return im.convert(mode)


def reference(name, rgba, w, h, tolerance):
    with open(os.path.join(out, name + ".rgba"), "wb") as f:
        f.write(struct.pack("<II", w, h) + rgba)
    manifest.append(f"{name} {tolerance}")


def pil_fixture(name, data, tolerance=0):
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
    im = Image.open(io.BytesIO(data))
    im.seek(0)
    rgba = im.convert("RGBA")
    reference(name, rgba.tobytes(), rgba.width, rgba.height, tolerance)


def magick_read_fixture(name, data, w, h, tolerance=0):
    """A file whose reference is ImageMagick's reading."""
    path = os.path.join(out, name)
    with open(path, "wb") as f:
        f.write(data)
    raw = subprocess.run([CONVERT, path, "-depth", "8", "rgba:-"], check=True, capture_output=True).stdout
    reference(name, raw, w, h, tolerance)


def saved(im, fmt, **options):
    buffer = io.BytesIO()
    im.save(buffer, fmt, **options)
    return buffer.getvalue()


def magick_fixture(name, source, arguments, tolerance=0):
    """A file ImageMagick writes from a PIL-made source; PIL reads the result as reference."""
    src = os.path.join(out, name + ".src.png")
    source.save(src)
    path = os.path.join(out, name)
    subprocess.run([CONVERT, src] + arguments + [path], check=True)
    with open(path, "rb") as f:
        data = f.read()
    os.remove(src)
    pil_fixture(name, data, tolerance)


# --- JPEG ---------------------------------------------------------------------------------------
pil_fixture("baseline.jpg", saved(smooth(61, 37), "JPEG", quality=85))
pil_fixture("progressive.jpg", saved(smooth(40, 33), "JPEG", quality=80, progressive=True))
pil_fixture("gray.jpg", saved(smooth(23, 19, "L"), "JPEG"), 1)
magick_read_fixture("cmyk.jpg", saved(smooth(24, 16).convert("CMYK"), "JPEG", quality=95), 24, 16, 3)

# --- BMP ----------------------------------------------------------------------------------------
palette_image = noisy(13, 7, "RGB").quantize(16)
pil_fixture("bits1.bmp", saved(noisy(21, 5, "L").convert("1"), "BMP"))
pil_fixture("bits8.bmp", saved(noisy(9, 6, "RGB").quantize(200), "BMP"))
pil_fixture("bits24.bmp", saved(noisy(7, 5, "RGB"), "BMP"))
pil_fixture("bits32.bmp", saved(noisy(6, 4, "RGBA"), "BMP"))


def bmp(w, h, bits, compression, pixels, palette=b"", masks=b"", header=40, alpha_mask=0, colours=0):
    info = struct.pack("<IiiHHIIiiII", header, w, h, 1, bits, compression, len(pixels), 2835, 2835, colours, 0)
    if header > 40:
        info += masks[:12] + struct.pack("<I", alpha_mask) + b"\0" * (header - 56)
        masks = b""
    offset = 14 + len(info) + len(masks) + len(palette)
    return b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + info + masks + palette + pixels


def grey_palette(n):
    return b"".join(struct.pack("<BBBB", i * 255 // (n - 1), (i * 37) % 256, 255 - i * 255 // (n - 1), 0) for i in range(n))


def rows(w, h, row_bytes):
    data = b""
    for y in range(h):
        row = row_bytes(y)
        data += row + b"\0" * (-len(row) % 4)
    return data


# 4 bits a pixel, uncompressed, bottom-up.
pil_fixture("bits4.bmp", bmp(5, 3, 4, 0, rows(5, 3, lambda y: bytes([0x12 + y, 0x34, 0x50])), grey_palette(16)))
# 16 bits: the default 5-5-5 layout and 5-6-5 through bit fields.
words = lambda y: b"".join(struct.pack("<H", rng.randrange(65536)) for _ in range(5))
pil_fixture("bits16.bmp", bmp(5, 2, 16, 0, rows(5, 2, words)))
pil_fixture("bitfields565.bmp", bmp(5, 2, 16, 3, rows(5, 2, words), masks=struct.pack("<III", 0xF800, 0x7E0, 0x1F)))
# Top-down 24 bits.
pil_fixture("topdown.bmp", bmp(4, -3, 24, 0, rows(4, 3, lambda y: bytes(rng.randrange(256) for _ in range(12)))))
# A V5 header with bit fields and an alpha mask.
quads = lambda y: bytes(rng.randrange(256) for _ in range(16))
pil_fixture("v5alpha.bmp", bmp(4, 3, 32, 3, rows(4, 3, quads), masks=struct.pack("<III", 0xFF0000, 0xFF00, 0xFF),
                               header=124, alpha_mask=0xFF000000))
# Run-length BMPs: runs, absolute runs, a delta, line ends. PIL loses what follows a delta and
# refuses an end of bitmap before the last row: ImageMagick reads
# it as the format says (skipped pixels take palette index 0).
rle8 = bytes([3, 1, 0, 3, 2, 3, 4, 0, 0, 0, 0, 2, 1, 0, 2, 5, 0, 0, 6, 7, 0, 1])
magick_read_fixture("rle8.bmp", bmp(6, 3, 8, 1, rle8, grey_palette(8), colours=8), 6, 3)
rle4 = bytes([4, 0x12, 0, 3, 0x34, 0x50, 0, 0, 7, 0x67, 0, 1])
magick_read_fixture("rle4.bmp", bmp(7, 2, 4, 2, rle4, grey_palette(16), colours=16), 7, 2)

# --- GIF ----------------------------------------------------------------------------------------
gif_image = noisy(11, 9, "RGB").quantize(32)
pil_fixture("plain.gif", saved(gif_image, "GIF", interlace=False))
pil_fixture("interlaced.gif", saved(noisy(12, 20, "RGB").quantize(64), "GIF", interlace=True))
pil_fixture("transparent.gif", saved(gif_image, "GIF", transparency=3, interlace=False))
second = noisy(11, 9, "RGB").quantize(32)
pil_fixture("frames.gif", saved(gif_image, "GIF", save_all=True, append_images=[second], interlace=False))

# --- TIFF ---------------------------------------------------------------------------------------
pil_fixture("lzw-rgb.tif", saved(noisy(17, 11, "RGB"), "TIFF", compression="tiff_lzw"))
pil_fixture("unassociated.tif", saved(noisy(9, 7, "RGBA"), "TIFF", compression="tiff_lzw"))
magick_fixture("associated.tif", noisy(9, 7, "RGBA"), ["-define", "tiff:alpha=associated"], 1)
pil_fixture("gray.tif", saved(noisy(8, 5, "L"), "TIFF"))
magick_fixture("big-endian.tif", noisy(10, 6, "RGB"), ["-endian", "MSB"])
magick_fixture("tiled.tif", noisy(40, 35, "RGB"), ["-define", "tiff:tile-geometry=16x16", "-compress", "lzw"])

# --- PNG ----------------------------------------------------------------------------------------
pil_fixture("rgba.png", saved(noisy(13, 9, "RGBA"), "PNG"))

with open(os.path.join(out, "manifest.txt"), "w") as f:
    f.write("\n".join(manifest) + "\n")
