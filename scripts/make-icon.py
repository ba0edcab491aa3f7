#!/usr/bin/env python3
"""Draws the application icon: a dental arch (the teeth a panoramic unit images) inside the arc
that its tube travels, with the tube at one end. Writes the 16 x 16 and 32 x 32 images as PNG (for
Qt) and both in one 16-colour .ico (for the Windows resources), from one drawing.

Usage: scripts/make-icon.py [output folder]   (default: src/ui/icons)
"""
import math
import os
import struct
import sys
import zlib

# The 16 colours of the standard Windows palette, in its order; the .ico stores this palette.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
NAVY, YELLOW, BLUE, AQUA, WHITE = 4, 11, 12, 14, 15
SAMPLES = 4  # per axis: coverage is measured on a 4 x 4 grid inside each pixel


def edge_distance(x, y, size):
    """How far (x, y) lies inside the rounded square that carries the drawing; negative outside."""
    inset, radius = 0, size * 6 / 32
    lo, hi = inset + radius, size - inset - radius
    dx = max(lo - x, 0, x - hi)
    dy = max(lo - y, 0, y - hi)
    if dx == 0 and dy == 0:
        return radius + min(x - lo, hi - x, y - lo, hi - y)
    return radius - math.hypot(dx, dy)


def u_points(cx, cy, rx, ry, steps=240):
    """Points along the lower half of an ellipse (a U opening upwards), left tip to right tip."""
    return [(cx - rx * math.cos(math.pi * i / steps), cy + ry * math.sin(math.pi * i / steps))
            for i in range(steps + 1)]


def distance_to(x, y, points):
    return math.sqrt(min((x - px) ** 2 + (y - py) ** 2 for px, py in points))


def colour_at(x, y, size):
    """The palette index of the drawing at point (x, y), or None outside the icon."""
    s = size / 32
    inside = edge_distance(x, y, size)
    if inside < 0:
        return None
    if inside < max(1.2 * s, 1):
        return BLUE
    cx, cy = 16 * s, 8 * s
    # The tube: a yellow disc at the left tip of the arc it travels.
    if math.hypot(x - (cx - 11 * s), y - cy) <= max(2.6 * s, 1.6):
        return YELLOW
    # The arc the tube travels round the head.
    if distance_to(x, y, u_points(cx, cy, 11 * s, 18 * s)) <= max(0.9 * s, 0.75):
        return AQUA
    # The teeth: a thick white U.
    if distance_to(x, y, u_points(cx, cy, 6 * s, 12.5 * s)) <= max(2.3 * s, 1.1):
        return WHITE
    return NAVY


def draw(size):
    """Rows of palette indices (None = transparent), each pixel the colour most of it covers."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            votes = {}
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = colour_at(px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES, size)
                    votes[c] = votes.get(c, 0) + 1
            # Any coverage of the bright parts wins, so thin strokes survive at 16 x 16.
            bright = [c for c in (YELLOW, AQUA, WHITE) if votes.get(c, 0) >= SAMPLES * SAMPLES * 0.4]
            row.append(bright[0] if bright else max(votes, key=votes.get))
        rows.append(row)
    return rows


def png(rows):
    size = len(rows)
    raw = b""
    for row in rows:
        raw += b"\0" + b"".join(
            bytes(PALETTE[c]) + b"\xff" if c is not None else b"\0\0\0\0" for c in row)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(
            ">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def dib(rows):
    """A 4-bit icon image: header, palette, colour rows and AND mask, both bottom-up."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    colour, mask = b"", b""
    for row in reversed(rows):
        nibbles = [c if c is not None else 0 for c in row]
        line = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        colour += line + b"\0" * (-len(line) % 4)
        bits = 0
        line = b""
        for i, c in enumerate(row):
            bits = (bits << 1) | (1 if c is None else 0)
            if i % 8 == 7:
                line += bytes((bits,))
                bits = 0
        mask += line + b"\0" * (-len(line) % 4)
    return header + palette + colour + mask


def ico(images):
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    data = b""
    for rows in images:
        image = dib(rows)
        size = len(rows)
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), offset + len(data))
        data += image
    return out + data


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "src", "ui", "icons")
    os.makedirs(folder, exist_ok=True)
    images = [draw(16), draw(32)]
    for rows in images:
        with open(os.path.join(folder, "ventrel_conf_%d.png" % len(rows)), "wb") as f:
            f.write(png(rows))
    with open(os.path.join(folder, "ventrel_conf.ico"), "wb") as f:
        f.write(ico(images))


if __name__ == "__main__":
    main()
