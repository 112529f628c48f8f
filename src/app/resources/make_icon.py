#!/usr/bin/env python3
"""Draws the program icon: a blue speech bubble carrying a white sound wave.

Writes murmuro.ico with a 32x32 and a 16x16 image, 256 colours each (8 bits a pixel, a
palette, and the 1-bit transparency mask). Standard library only; the shapes are signed distance
fields sampled 8x8 times a pixel, so inner edges are smooth while the outline stays crisp
against the 1-bit mask.

    python3 make_icon.py [out.ico]
"""
import math
import struct
import sys
from pathlib import Path

SAMPLES = 8

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

    def render(self):
        """Rows of (r, g, b) or None, top row first."""
        rows = []
        for y in range(self.size):
            row = []
            for x in range(self.size):
                hits = []
                for sy in range(SAMPLES):
                    for sx in range(SAMPLES):
                        c = self.sample(x + (sx + 0.5) / SAMPLES, y + (sy + 0.5) / SAMPLES)
                        if c is not None:
                            hits.append(c)
                if len(hits) * 2 < SAMPLES * SAMPLES:
                    row.append(None)
                else:
                    n = len(hits)
                    row.append(tuple(round(sum(c[i] for c in hits) / n) for i in range(3)))
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


def palette_for(images):
    """At most 256 colours covering every image; close shades merge when there are more."""
    colours = {c for rows in images for row in rows for c in row if c is not None}
    step = 1
    while True:
        snapped = {tuple(min(255, round(v / step) * step) for v in c) for c in colours}
        if len(snapped) + 1 <= 256:  # index 0 stays black for the transparent pixels
            return step, [(0, 0, 0)] + sorted(snapped)
        step *= 2


def ico_image(rows, step, palette):
    size = len(rows)
    index = {c: i for i, c in enumerate(palette)}
    xor_stride = (size + 3) // 4 * 4
    and_stride = ((size + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # DIBs are stored bottom-up
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, c in enumerate(row):
            if c is None:
                bits[x // 8] |= 0x80 >> (x % 8)
            else:
                line[x] = index[tuple(min(255, round(v / step) * step) for v in c)]
        xor += line
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, len(xor) + len(mask),
                         0, 0, 256, 0)
    quads = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    quads += b"\0\0\0\0" * (256 - len(palette))
    return header + quads + bytes(xor) + bytes(mask)


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).with_name("murmuro.ico")
    images = [d.render() for d in DESIGNS]
    step, palette = palette_for(images)
    blobs = [ico_image(rows, step, palette) for rows in images]
    data = struct.pack("<HHH", 0, 1, len(blobs))
    offset = 6 + 16 * len(blobs)
    for d, blob in zip(DESIGNS, blobs):
        data += struct.pack("<BBBBHHII", d.size, d.size, 0, 0, 1, 8, len(blob), offset)
        offset += len(blob)
    for blob in blobs:
        data += blob
    out.write_bytes(data)
    print(f"{out}: {len(palette)} colours, {len(data)} bytes")


if __name__ == "__main__":
    main()
