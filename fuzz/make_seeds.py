#!/usr/bin/env python3
"""Writes the fuzzers' seed corpora into fuzz/corpus/{png,hlsl,label}.

PNG seeds: tiny images of every colour type and bit depth, each of the five
row filters, palette and tRNS transparency, Adam7 interlacing, ancillary
chunks, and the extreme accepted shapes (16384 x 1, 1 x 16384), plus the
program's two smallest real images. HLSL seeds: the three shader sources
behind the byte that picks their profile. Label seeds: short operation
scripts with the texts the program shows. Run from the repository root.
"""
import base64
import os
import shutil
import struct
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CORPUS = os.path.join(ROOT, "fuzz", "corpus")


def chunk(kind, payload):
    body = kind + payload
    return struct.pack(">I", len(payload)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def filter_row(kind, row, previous, bpp):
    out = bytearray()
    for i, value in enumerate(row):
        left = row[i - bpp] if i >= bpp else 0
        up = previous[i] if previous else 0
        upleft = previous[i - bpp] if previous and i >= bpp else 0
        predictor = [0, left, up, (left + up) // 2, paeth(left, up, upleft)][kind]
        out.append((value - predictor) & 0xFF)
    return bytes([kind]) + bytes(out)


CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}


def pack_row(samples, depth):
    """Packs one row of sample values at the given bit depth."""
    if depth == 16:
        return b"".join(struct.pack(">H", s) for s in samples)
    if depth == 8:
        return bytes(samples)
    out, bits, accumulated = bytearray(), 0, 0
    for s in samples:
        accumulated = (accumulated << depth) | s
        bits += depth
        if bits == 8:
            out.append(accumulated)
            bits, accumulated = 0, 0
    if bits:
        out.append(accumulated << (8 - bits))
    return bytes(out)


def image_rows(width, height, colour, depth, pixel):
    """Rows of samples: pixel(x, y) gives one pixel's samples."""
    return [[s for x in range(width) for s in pixel(x, y)] for y in range(height)]


def encode(width, height, colour, depth, pixel, interlace=False, extra=(), filters=(0,)):
    bpp = max(1, CHANNELS[colour] * depth // 8)
    raw = bytearray()
    if not interlace:
        passes = [(0, 0, 1, 1)]
    else:
        passes = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]
    for x0, y0, dx, dy in passes:
        xs = list(range(x0, width, dx))
        ys = list(range(y0, height, dy))
        if not xs or not ys:
            continue
        previous = None
        for n, y in enumerate(ys):
            row = pack_row([s for x in xs for s in pixel(x, y)], depth)
            raw += filter_row(filters[n % len(filters)], row, previous, bpp)
            previous = row
    header = struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, 1 if interlace else 0)
    out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
    for kind, payload in extra:
        out += chunk(kind, payload)
    out += chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b"")
    return out


def png_seeds():
    top = lambda d: (1 << d) - 1
    seeds = {}
    for depth in (1, 2, 4, 8, 16):
        seeds[f"gray{depth}.png"] = encode(5, 3, 0, depth, lambda x, y, d=depth: [(x * 7 + y * 3) % (top(d) + 1)])
    seeds["gray8-trns.png"] = encode(4, 4, 0, 8, lambda x, y: [x * 60], extra=[(b"tRNS", b"\x00\x00")])
    seeds["rgb8-filters.png"] = encode(6, 5, 2, 8, lambda x, y: [x * 40, y * 50, (x ^ y) * 30], filters=(0, 1, 2, 3, 4))
    seeds["rgb16-trns.png"] = encode(3, 3, 2, 16, lambda x, y: [x * 9000, y * 9000, 4000],
                                     extra=[(b"tRNS", struct.pack(">HHH", 0, 0, 4000))])
    for depth in (1, 2, 4, 8):
        colours = 1 << depth
        palette = b"".join(bytes([i * 255 // colours, 255 - i * 255 // colours, 128]) for i in range(colours))
        alpha = bytes(i * 255 // colours for i in range(colours))
        seeds[f"palette{depth}.png"] = encode(7, 2, 3, depth, lambda x, y, c=colours: [(x + y) % c],
                                              extra=[(b"PLTE", palette), (b"tRNS", alpha)])
    seeds["gray-alpha8.png"] = encode(3, 2, 4, 8, lambda x, y: [x * 100, y * 200])
    seeds["gray-alpha16.png"] = encode(2, 2, 4, 16, lambda x, y: [x * 30000, y * 60000], filters=(4,))
    seeds["rgba8.png"] = encode(5, 7, 6, 8, lambda x, y: [x * 50, y * 30, 200, (x + y) * 20], filters=(1, 3))
    seeds["rgba16.png"] = encode(2, 3, 6, 16, lambda x, y: [x * 1000, y * 2000, 3000, 65535], filters=(2,))
    seeds["rgba8-adam7.png"] = encode(9, 9, 6, 8, lambda x, y: [x * 28, y * 28, 99, 255], interlace=True, filters=(0, 4))
    seeds["gray1-adam7-3x3.png"] = encode(3, 3, 0, 1, lambda x, y: [(x + y) & 1], interlace=True)
    seeds["rgb8-1x1-ancillary.png"] = encode(1, 1, 2, 8, lambda x, y: [1, 2, 3],
                                             extra=[(b"gAMA", struct.pack(">I", 45455)), (b"sBIT", b"\x08\x08\x08"),
                                                    (b"tEXt", b"Comment\x00tiny")])
    seeds["gray1-16384x1.png"] = encode(16384, 1, 0, 1, lambda x, y: [x & 1])
    seeds["gray1-1x16384.png"] = encode(1, 16384, 0, 1, lambda x, y: [y & 1])
    # A finding of fuzz_png_texture: an unknown chunk ("gAMP") before IHDR. The
    # loader must refuse it; "refused-" seeds are refused by design.
    seeds["refused-chunk-before-ihdr.png"] = base64.b64decode(
        "iVBORw0KGgoAAAAEZ0FNUIlQTkcNChoKAAAADUlIRFIAAAADAAAAAggEAAAAN32ukQAAABZJREFUeNpjYGBIYTjBwMBwIuXEiRMAFYoE"
        "seUzuGsAAAAASUxUjwjb6YKSAA==")
    return seeds


def main():
    for folder in ("png", "hlsl", "label"):
        os.makedirs(os.path.join(CORPUS, folder), exist_ok=True)
    for name, data in png_seeds().items():
        with open(os.path.join(CORPUS, "png", name), "wb") as f:
            f.write(data)
    for name in ("cueball.png", "smallfonts128x128.png"):
        shutil.copy(os.path.join(ROOT, "res", name), os.path.join(CORPUS, "png", "res-" + name))

    # First byte: 0 vs_2_0, 1 ps_2_0, 2 vs_1_1 (see HlslCompileCase.h).
    for selector, name in ((0, "superellipsoid.vsh"), (1, "superellipsoid.psh"), (2, "textfont.vsh")):
        with open(os.path.join(ROOT, name), "rb") as f:
            source = f.read()
        with open(os.path.join(CORPUS, "hlsl", name), "wb") as f:
            f.write(bytes([selector]) + source)
    with open(os.path.join(CORPUS, "hlsl", "include-and-macro.psh"), "wb") as f:
        f.write(bytes([1 | 8]) + b'#include "common.hlsl"\nfloat4 main(float2 t : TEXCOORD0) : COLOR0\n'
                b"{ return twice(float4(t, SCALE, 1)); }\n")

    # Font byte, then operations: 0 text, 2/3 position, 6 draw (see TextLabelCase.h).
    def text(s):
        return bytes([0, len(s)]) + s

    def whole(x, y):
        return bytes([3]) + struct.pack("<hh", x, y)

    labels = {
        "fps.bin": bytes([0]) + whole(432, 364) + text(b"FPS: 60") + bytes([6]) + text(b"FPS: 9") + bytes([6]),
        "debug.bin": bytes([0]) + text(b"Debug mode") + whole(-512, 372) + bytes([6]),
        "device.bin": bytes([0]) + whole(-500, -370) + text(b"Direct3D 9 HAL (hardware vertex processing)") + bytes([6]),
        "bytes.bin": bytes([0]) + text(bytes(range(0, 256, 3))) + bytes([2]) + struct.pack("<ff", 0.25, -1e30) + bytes([6]),
        "failures.bin": bytes([0, 4]) + text(b"lost") + bytes([6, 5]) + text(b"locked out") + bytes([6]) + text(b"ok") + bytes([6]),
        "long.bin": bytes([0, 1]) + struct.pack("<H", 5000) + bytes([3]) + b"0123" + bytes([6]) + text(b"") + bytes([6]),
        "fonts.bin": bytes([3]) + text(b"Az{~\x7f\x80") + bytes([6]),
    }
    for name, data in labels.items():
        with open(os.path.join(CORPUS, "label", name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
