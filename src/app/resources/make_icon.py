#!/usr/bin/env python3
"""Draws the program icon: a blue speech bubble carrying a white sound wave.

Writes murmuro.ico with the sizes the shell asks for at 100 % to 200 % and beyond: 16, 20, 24,
32, 40, 48, 64 and 256 px, 32 bits a pixel with alpha. 256 px is PNG, as Windows stores it; the
others are bitmaps with a transparency mask for old readers. Standard library only; the shapes are
signed distance fields sampled many times a pixel, and the share of samples inside is the alpha.

    python3 make_icon.py [out.ico]
"""
import math
import struct
import sys
import zlib
from pathlib import Path

SIZES = (16, 20, 24, 32, 40, 48, 64, 256)

OUTLINE = (16, 52, 120)
FILL_TOP = (92, 160, 240)
FILL_BOTTOM = (34, 96, 196)
WAVE = (255, 255, 255)


def rounded_rect(px, py, x0, y0, x1, y1, r):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r
    qx, qy = abs(px - cx) - hx, abs(py - cy) - hy
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - r


def triangle(px, py, a, b, c):
    # Distance to a triangle, negative inside.
    def seg(p, q):
        vx, vy = q[0] - p[0], q[1] - p[1]
        wx, wy = px - p[0], py - p[1]
        t = max(0.0, min(1.0, (wx * vx + wy * vy) / (vx * vx + vy * vy)))
        return math.hypot(wx - t * vx, wy - t * vy)

    d = min(seg(a, b), seg(b, c), seg(c, a))

    def side(p, q):
        return (q[0] - p[0]) * (py - p[1]) - (q[1] - p[1]) * (px - p[0])

    s1, s2, s3 = side(a, b), side(b, c), side(c, a)
    inside = (s1 >= 0 and s2 >= 0 and s3 >= 0) or (s1 <= 0 and s2 <= 0 and s3 <= 0)
    return -d if inside else d


def capsule(px, py, x, y0, y1, r):
    # A vertical bar with round ends.
    cy = min(max(py, y0), y1)
    return math.hypot(px - x, py - cy) - r


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


class Design:
    """The motif in the coordinates of one image size."""

    def __init__(self, size, body, radius, tail, line, bars, bar_radius):
        self.size = size
        self.body = body            # (x0, y0, x1, y1) of the bubble
        self.radius = radius
        self.tail = tail            # three corners
        self.line = line            # outline width
        self.bars = bars            # (x, half height) of each wave bar, centred in the body
        self.bar_radius = bar_radius

    def sample(self, px, py):
        """The colour at a point, or None where the icon is transparent."""
        x0, y0, x1, y1 = self.body
        bubble = min(rounded_rect(px, py, x0, y0, x1, y1, self.radius),
                     triangle(px, py, *self.tail))
        if bubble > 0:
            return None
        if bubble > -self.line:
            return OUTLINE
        mid = (y0 + y1) / 2
        for x, half in self.bars:
            if capsule(px, py, x, mid - half, mid + half, self.bar_radius) <= 0:
                return WAVE
        t = min(max((py - y0) / (y1 - y0), 0.0), 1.0)
        return mix(FILL_TOP, FILL_BOTTOM, t)

    def scaled(self, size):
        """The same motif drawn for `size` pixels."""
        f = size / self.size
        return Design(size, body=tuple(v * f for v in self.body), radius=self.radius * f,
                      tail=tuple((x * f, y * f) for x, y in self.tail), line=self.line * f,
                      bars=[(x * f, h * f) for x, h in self.bars], bar_radius=self.bar_radius * f)

    def render(self):
        """Rows of (r, g, b, a), top row first."""
        samples = 8 if self.size <= 64 else 4
        rows = []
        for y in range(self.size):
            row = []
            for x in range(self.size):
                hits = []
                for sy in range(samples):
                    for sx in range(samples):
                        c = self.sample(x + (sx + 0.5) / samples, y + (sy + 0.5) / samples)
                        if c is not None:
                            hits.append(c)
                if not hits:
                    row.append((0, 0, 0, 0))
                else:
                    n = len(hits)
                    rgb = tuple(round(sum(c[i] for c in hits) / n) for i in range(3))
                    row.append(rgb + (round(255 * n / (samples * samples)),))
            rows.append(row)
        return rows


DESIGNS = [
    Design(32, body=(1.0, 3.0, 31.0, 23.0), radius=6.0,
           tail=((6.0, 20.0), (14.0, 20.0), (4.0, 30.0)), line=1.25,
           bars=[(8.0, 2.5), (12.0, 5.5), (16.0, 7.0), (20.0, 4.5), (24.0, 2.0)],
           bar_radius=1.2),
    Design(16, body=(1.0, 1.0, 16.0, 12.0), radius=3.5,
           tail=((3.0, 10.5), (7.5, 10.5), (2.0, 15.5)), line=1.0,
           bars=[(4.5, 1.0), (6.5, 2.5), (8.5, 3.5), (10.5, 2.0), (12.5, 1.0)],
           bar_radius=0.5),
]


def design_for(size):
    """The small motif is drawn for 16 px; from 28 px up the detailed one reads better."""
    base = DESIGNS[1] if size < 28 else DESIGNS[0]
    return base if base.size == size else base.scaled(size)


def bmp_image(rows):
    size = len(rows)
    and_stride = ((size + 31) // 32) * 4
    colour = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # DIBs are stored bottom-up
        bits = bytearray(and_stride)
        for x, (r, g, b, a) in enumerate(row):
            colour += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(colour) + len(mask),
                         0, 0, 0, 0)
    return header + bytes(colour) + bytes(mask)


def png_image(rows):
    size = len(rows)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    raw = b"".join(b"\0" + bytes(v for px in row for v in px) for row in rows)
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).with_name("murmuro.ico")
    blobs = []
    for size in SIZES:
        rows = design_for(size).render()
        blobs.append(png_image(rows) if size >= 256 else bmp_image(rows))
    data = struct.pack("<HHH", 0, 1, len(blobs))
    offset = 6 + 16 * len(blobs)
    for size, blob in zip(SIZES, blobs):
        data += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    for blob in blobs:
        data += blob
    out.write_bytes(data)
    print(f"{out}: {len(SIZES)} images, {len(data)} bytes")


if __name__ == "__main__":
    main()
