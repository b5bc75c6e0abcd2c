#!/usr/bin/env python3
"""Draws the two menu-bar brand marks (44 x 44 pixels, shown at 22 x 22 points).

Run from this folder: python3 make_brand_images.py. Pure standard library: shapes are
rasterised with 4 x 4 supersampling and written as RGBA PNGs.
"""
import math
import struct
import zlib

SIZE = 44
SAMPLES = 4


def write_png(path, pixels):
    raw = b"".join(b"\x00" + bytes(row) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
                  + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def render(shade):
    """shade(x, y) -> (r, g, b, a) or None for a point in 0..SIZE; returns rows of RGBA bytes."""
    rows = []
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = shade(px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES)
                    if c:
                        a = c[3] / 255.0
                        acc[0] += c[0] * a
                        acc[1] += c[1] * a
                        acc[2] += c[2] * a
                        acc[3] += a
            n = SAMPLES * SAMPLES
            alpha = acc[3] / n
            if alpha > 0:
                row += [round(acc[i] / acc[3]) for i in range(3)] + [round(alpha * 255)]
            else:
                row += [0, 0, 0, 0]
        rows.append(row)
    return rows


def in_rounded_square(x, y, inset, radius):
    lo, hi = inset, SIZE - inset
    cx = min(max(x, lo + radius), hi - radius)
    cy = min(max(y, lo + radius), hi - radius)
    return lo <= x <= hi and lo <= y <= hi and (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def near_segment(x, y, ax, ay, bx, by, half_width):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(x - (ax + t * dx), y - (ay + t * dy)) <= half_width


def codex_mark(x, y):
    # A slate tile with a prompt chevron and a cursor bar.
    white = (255, 255, 255, 255)
    if near_segment(x, y, 12, 13, 22, 22, 2.6) or near_segment(x, y, 22, 22, 12, 31, 2.6):
        return white
    if near_segment(x, y, 25, 31, 33, 31, 2.4):
        return white
    if in_rounded_square(x, y, 2, 10):
        return (52, 64, 96, 255)
    return None


def claude_mark(x, y):
    # A coral hexagon around a cream ring with a centre dot.
    cx = cy = SIZE / 2
    r = math.hypot(x - cx, y - cy)
    if r <= 4.0:
        return (255, 244, 228, 255)
    if 8.0 <= r <= 12.0:
        return (255, 244, 228, 255)
    angle = math.atan2(y - cy, x - cx)
    sector = (angle + math.pi / 6) % (math.pi / 3) - math.pi / 6
    if r * math.cos(sector) <= 19.5:
        return (214, 104, 72, 255)
    return None


if __name__ == "__main__":
    write_png("codex-menu.png", render(codex_mark))
    write_png("claude-menu.png", render(claude_mark))
