#!/usr/bin/env python3
"""Writes app/kivra.ico: icon group 101's two images, 32x32 and 16x16, in 16
colours. The picture is a little atom tree: a white page with a blue ftyp
row, a green moov row with two indented teal children joined by grey tree
lines, and a red mdat row. Run it again after changing the shapes below."""
import os
import struct

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
NAVY, TEAL, GREY, WHITE, BLUE, GREEN, RED = 4, 6, 8, 15, 12, 2, 9

# Rectangles (left, top, right, bottom; right and bottom excluded) on a
# 32-unit grid, painted in order; None is transparent.
SHAPES = [
    ((0, 0, 32, 32), NAVY),
    ((2, 2, 30, 30), WHITE),
    ((5, 5, 27, 9), BLUE),      # ftyp
    ((5, 11, 27, 15), GREEN),   # moov
    ((7, 15, 9, 23), GREY),     # tree line down from moov
    ((9, 17, 11, 18), GREY),
    ((9, 21, 11, 22), GREY),
    ((12, 16, 27, 19), TEAL),   # moov's children
    ((12, 20, 27, 23), TEAL),
    ((5, 25, 27, 28), RED),     # mdat
]


def colour_at(x, y):
    """Colour index at a point of the 32-unit grid, or None outside."""
    found = None
    for (left, top, right, bottom), colour in SHAPES:
        if left <= x < right and top <= y < bottom:
            found = colour
    return found


def image(size):
    scale = 32.0 / size
    pixels = [[colour_at((px + 0.5) * scale, (py + 0.5) * scale) for px in range(size)]
              for py in range(size)]
    xor_rows = []
    and_rows = []
    for row in reversed(pixels):  # bitmaps are stored bottom-up
        nibbles = [c if c is not None else 0 for c in row]
        xor = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        xor_rows.append(xor + b"\0" * (-len(xor) % 4))
        mask = bytearray((size + 7) // 8)
        for px, c in enumerate(row):
            if c is None:
                mask[px // 8] |= 0x80 >> (px % 8)
        and_rows.append(bytes(mask) + b"\0" * (-len(mask) % 4))
    xor_data = b"".join(xor_rows)
    and_data = b"".join(and_rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0,
                         len(xor_data) + len(and_data), 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + xor_data + and_data


def main():
    images = [(32, image(32)), (16, image(16))]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, data in images)
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "kivra.ico")
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
