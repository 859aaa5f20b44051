#!/usr/bin/env python3
"""Draws the icons of the demo product: make_icons.py OUTDIR writes demoapp.ico (a note pad), demodoc.ico
(a page with a folded corner) and demosync.ico (two arrows in a circle), each in 16 and 32 pixels."""
import math
import struct
import sys
from pathlib import Path

TRANSPARENT = (0, 0, 0, 0)


def notepad(x, y):
    """A blue pad with white ruled lines and a red binding at the top, on a 1x1 square."""
    if not (0.12 <= x <= 0.88 and 0.08 <= y <= 0.94):
        return TRANSPARENT
    if y < 0.22:
        return (200, 40, 40, 255)
    if 0.2 <= x <= 0.8 and 0.3 <= y <= 0.86 and int(y * 100) % 14 < 4:
        return (255, 255, 255, 255)
    return (40, 90, 200, 255)


def document(x, y):
    """A white page with a folded corner and grey text lines."""
    if not (0.18 <= x <= 0.82 and 0.06 <= y <= 0.94):
        return TRANSPARENT
    fold = 0.82 - x + y - 0.06
    if fold < 0.22:
        return TRANSPARENT if x + 0.06 - y > 0.82 - 0.22 + 0.06 else (150, 150, 150, 255)
    if x <= 0.2 or x >= 0.8 or y >= 0.92:
        return (90, 90, 90, 255)
    if 0.28 <= x <= 0.72 and 0.35 <= y <= 0.85 and int(y * 100) % 12 < 4:
        return (40, 90, 200, 255)
    return (255, 255, 255, 255)


def sync(x, y):
    """A green disc with a white ring broken in two places: the arrows of synchronisation."""
    dx, dy = x - 0.5, y - 0.5
    r = math.hypot(dx, dy)
    if r > 0.46:
        return TRANSPARENT
    angle = math.degrees(math.atan2(dy, dx)) % 180
    if 0.22 <= r <= 0.32 and not (60 <= angle <= 90):
        return (255, 255, 255, 255)
    return (30, 150, 70, 255)


def image(draw, size):
    """The icon image of one size: a BITMAPINFOHEADER, BGRA rows bottom up, then the AND mask."""
    rows = []
    mask = []
    for row in range(size - 1, -1, -1):
        pixels = []
        bits = 0
        maskrow = bytearray((size + 31) // 32 * 4)
        for column in range(size):
            r, g, b, a = draw((column + 0.5) / size, (row + 0.5) / size)
            pixels.append(struct.pack("<BBBB", b, g, r, a))
            if a == 0:
                maskrow[column // 8] |= 0x80 >> (column % 8)
            bits += 1
        rows.append(b"".join(pixels))
        mask.append(bytes(maskrow))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    return header + b"".join(rows) + b"".join(mask)


def icon(draw):
    images = [(size, image(draw, size)) for size in (16, 32)]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, body in images:
        data += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(body), offset)
        offset += len(body)
    return data + b"".join(body for _, body in images)


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    for name, draw in (("demoapp.ico", notepad), ("demodoc.ico", document), ("demosync.ico", sync)):
        (out / name).write_bytes(icon(draw))


if __name__ == "__main__":
    main()
