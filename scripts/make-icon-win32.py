#!/usr/bin/env python3
"""Draws the application icon: a panoramic arc (the dental arch a panoramic unit sweeps) over a
dark-blue tile, with the X-ray source below it. Writes a .ico with a 16 x 16 and a 32 x 32 image,
16 colours each (4 bits per pixel with the standard Windows palette and a transparency mask).

Usage: scripts/make-icon.py src/ui/win32/ventrel_conf.ico
"""
import math
import struct
import sys

# The 16 colours of the standard Windows palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
TRANSPARENT, DARK_BLUE, CYAN, WHITE, YELLOW, GREY = None, 4, 14, 15, 11, 8


def colour_at(x, y):
    """The colour of the point (x, y) of the unit square, y growing downwards."""
    # The tile: a square with rounded corners.
    corner = 0.18
    cx = min(max(x, corner), 1 - corner)
    cy = min(max(y, corner), 1 - corner)
    if math.hypot(x - cx, y - cy) > corner:
        return TRANSPARENT
    if math.hypot(x - cx, y - cy) > corner - 0.05 and (x < 0.05 or x > 0.95 or y < 0.05 or y > 0.95):
        return GREY
    # The source: a small disc at the bottom centre, the arc's focus.
    if math.hypot(x - 0.5, y - 0.80) < 0.085:
        return YELLOW
    # The arch: a thick half ring opening downwards, centred on the source.
    r = math.hypot(x - 0.5, y - 0.80)
    if y <= 0.80 and 0.40 <= r <= 0.62:
        # Teeth: gaps across the ring every few degrees.
        angle = math.degrees(math.atan2(0.80 - y, x - 0.5))
        return WHITE if (angle % 22.5) > 3.0 else CYAN
    if y <= 0.80 and 0.34 <= r < 0.40:
        return CYAN
    return DARK_BLUE


def image(size):
    """The rows of palette indices (None for transparent), top row first."""
    samples = 4  # samples per pixel side; the most frequent colour wins
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            votes = {}
            for sy in range(samples):
                for sx in range(samples):
                    c = colour_at((px + (sx + 0.5) / samples) / size,
                                  (py + (sy + 0.5) / samples) / size)
                    votes[c] = votes.get(c, 0) + 1
            row.append(max(votes, key=lambda c: (votes[c], c is not None)))
        rows.append(row)
    return rows


def dib(rows):
    """A 4-bit DIB as an .ico stores it: header, palette, colours bottom-up, then the AND mask."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor, mask = b"", b""
    for row in reversed(rows):
        nibbles = [0 if c is None else c for c in row]
        line = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        xor += line.ljust(xor_stride, b"\0")
        bits = 0
        line = b""
        for i, c in enumerate(row):
            bits = (bits << 1) | (1 if c is None else 0)
            if i % 8 == 7:
                line += bytes([bits])
                bits = 0
        mask += line.ljust(and_stride, b"\0")
    return header + palette + xor + mask


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    images = [dib(image(size)) for size in (16, 32)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((16, 32), images):
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
