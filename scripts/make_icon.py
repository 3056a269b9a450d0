#!/usr/bin/env python3
"""Draws the application icon (a framed photo with a gold star) at every size the
Windows icon needs and writes them as one .ico of PNG-compressed 32-bit images.

    python3 scripts/make_icon.py [resources/icons/quillmark-glanceway.ico]

Pure Python (zlib and struct only), so it runs on any machine that builds the program.
"""
import math
import struct
import sys
import zlib

SIZES = [16, 20, 24, 30, 32, 36, 40, 48, 60, 64, 72, 80, 96, 128, 256]
SUPERSAMPLE = 4


def star_polygon(cx, cy, outer, inner, points=5):
    pts = []
    for i in range(points * 2):
        r = outer if i % 2 == 0 else inner
        a = -math.pi / 2 + i * math.pi / points
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return pts


def inside_polygon(x, y, poly):
    inside = False
    j = len(poly) - 1
    for i in range(len(poly)):
        xi, yi = poly[i]
        xj, yj = poly[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


def in_rounded_rect(x, y, x0, y0, x1, y1, r):
    if x < x0 or x > x1 or y < y0 or y > y1:
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


STAR = star_polygon(0.70, 0.70, 0.27, 0.115)
STAR_OUTLINE = star_polygon(0.70, 0.70, 0.33, 0.15)


def colour_at(u, v):
    """RGBA of the design at unit coordinates (u, v), y downwards."""
    if inside_polygon(u, v, STAR):
        t = (v - 0.43) / 0.5
        return (255, int(214 - 40 * t), int(64 - 30 * t), 255)
    if inside_polygon(u, v, STAR_OUTLINE):
        return (23, 25, 28, 255)
    # White photo frame with a dark edge.
    if not in_rounded_rect(u, v, 0.04, 0.10, 0.90, 0.84, 0.08):
        return (0, 0, 0, 0)
    if not in_rounded_rect(u, v, 0.08, 0.14, 0.86, 0.80, 0.05):
        return (34, 37, 42, 255)
    if not in_rounded_rect(u, v, 0.13, 0.19, 0.81, 0.75, 0.02):
        return (240, 242, 245, 255)
    # The picture: sky, sun and two hills.
    if (u - 0.62) ** 2 + (v - 0.33) ** 2 <= 0.06 ** 2:
        return (255, 236, 170, 255)
    hill1 = 0.75 - 0.30 * math.exp(-((u - 0.32) / 0.17) ** 2)
    hill2 = 0.75 - 0.20 * math.exp(-((u - 0.62) / 0.15) ** 2)
    if v >= hill1:
        return (46, 125, 90, 255)
    if v >= hill2:
        return (72, 160, 110, 255)
    t = (v - 0.19) / 0.56
    return (int(70 + 60 * t), int(130 + 60 * t), int(210 + 30 * t), 255)


def render(size):
    n = SUPERSAMPLE
    rows = []
    for y in range(size):
        row = bytearray([0])  # PNG filter type: none
        for x in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(n):
                for sx in range(n):
                    r, g, b, a = colour_at((x + (sx + 0.5) / n) / size, (y + (sy + 0.5) / n) / size)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            alpha = acc[3] / (n * n)
            if acc[3]:
                row += bytes([round(acc[0] / acc[3]), round(acc[1] / acc[3]), round(acc[2] / acc[3]), round(alpha)])
            else:
                row += bytes(4)
        rows.append(bytes(row))
    return png(size, size, b"".join(rows))


def png(width, height, raw):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def ico(images):
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, blobs = b"", b""
    for size, data in images:
        dim = 0 if size >= 256 else size
        entries += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset)
        blobs += data
        offset += len(data)
    return out + entries + blobs


def main():
    target = sys.argv[1] if len(sys.argv) > 1 else "resources/icons/quillmark-glanceway.ico"
    images = [(s, render(s)) for s in SIZES]
    with open(target, "wb") as f:
        f.write(ico(images))
    print(f"wrote {target} with {len(images)} images")


if __name__ == "__main__":
    main()
