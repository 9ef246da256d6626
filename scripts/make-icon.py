#!/usr/bin/env python3
"""Draws MAINICON, the updater's icon: one 32 x 32 image with 256 colours.

It matches the banner: a vertical blue gradient, full blue at the top and dark at
the bottom, with a white arrow pointing down into a tray ("update"). This script
is the icon's source; run it to write resources/mainicon.ico:

    python3 scripts/make-icon.py resources/mainicon.ico
"""
import struct
import sys

SIZE = 32


def palette():
    # Index i < SIZE is the gradient row i, computed as the banner computes its rows;
    # index 255 is white; the rest stay black.
    colours = [(0, 0, 0)] * 256
    for i in range(SIZE):
        colours[i] = (0, 0, ((SIZE - i) * 255) // SIZE)
    colours[255] = (255, 255, 255)
    return colours


def is_white(x, y):
    shaft = 13 <= x <= 18 and 5 <= y <= 15
    head = 16 <= y <= 22 and abs(x - 15.5) <= 22 - y
    tray = (y in (25, 26) and 6 <= x <= 25) or (6 <= x <= 7 or 24 <= x <= 25) and 21 <= y <= 26
    return shaft or head or tray


def icon():
    rows = []
    for y in reversed(range(SIZE)):  # bottom-up, as bitmaps are stored
        rows.append(bytes(255 if is_white(x, y) else y for x in range(SIZE)))
    pixels = b"".join(rows)
    mask = bytes(4 * SIZE)  # every pixel opaque; rows padded to 32 bits
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette())
    # The image's height counts the colour bitmap and the mask together.
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 8, 0, len(pixels) + len(mask), 0, 0, 256, 0)
    image = header + colours + pixels + mask
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 8, len(image), 22)
    return directory + image


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as out:
        out.write(icon())
