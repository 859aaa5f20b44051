#!/usr/bin/env python3
"""Draws the finish page's picture (setup/res/finish.bmp): a disc with a check mark on pure red.

The page loads it with CreateMappedBitmap, which turns pure red into the button-face colour, so the
background blends with the dialog whatever the colour scheme. That mapping works on the colour table, so
the picture is an 8-bit bitmap with a palette in which pure red is one entry."""
import math
import struct
import sys

WIDTH, HEIGHT = 126, 212
RED = (255, 0, 0)


def pixel(x, y):
    cx, cy, radius = WIDTH / 2, 70, 46
    d = math.hypot(x - cx, y - cy)
    if d > radius:
        # A soft band of blue bars under the disc: a quiet "progress finished" motif.
        if 140 <= y <= 196 and 18 <= x <= WIDTH - 18 and (y - 140) % 14 < 8:
            t = (x - 18) / (WIDTH - 36)
            return (int(40 + 60 * t), int(90 + 80 * t), 200)
        return RED
    # Check mark: two thick strokes inside the disc.
    def near(ax, ay, bx, by, w):
        vx, vy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((x - ax) * vx + (y - ay) * vy) / (vx * vx + vy * vy)))
        return math.hypot(x - (ax + t * vx), y - (ay + t * vy)) <= w
    if near(cx - 22, cy + 2, cx - 6, cy + 18, 6) or near(cx - 6, cy + 18, cx + 24, cy - 16, 6):
        return (255, 255, 255)
    shade = 1.0 - 0.35 * (d / radius)
    return (int(30 * shade), int(140 * shade), int(60 * shade))


def bmp_bytes():
    pixels = [[pixel(x, y) for x in range(WIDTH)] for y in range(HEIGHT)]
    # Quantise to at most 256 colours: pure red stays exact, the rest is rounded to 6 bits per channel.
    def quantise(c):
        return c if c == RED else tuple((v & 0xFC) | (v >> 6) for v in c)
    palette = [RED]
    index = {RED: 0}
    for row in pixels:
        for c in row:
            q = quantise(c)
            if q not in index:
                index[q] = len(palette)
                palette.append(q)
    if len(palette) > 256:
        raise SystemExit("too many colours for an 8-bit picture: %d" % len(palette))
    row_size = (WIDTH + 3) & ~3
    data = bytearray()
    for y in range(HEIGHT - 1, -1, -1):  # bottom-up
        row = bytes(index[quantise(c)] for c in pixels[y])
        data += row + b"\0" * (row_size - len(row))
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    offset = 54 + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 8, 0, len(data), 2835, 2835, len(palette), 0)
    return header + info + table + bytes(data)


if __name__ == "__main__":
    with open(sys.argv[1] if len(sys.argv) > 1 else "finish.bmp", "wb") as f:
        f.write(bmp_bytes())
