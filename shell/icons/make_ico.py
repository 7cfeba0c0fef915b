#!/usr/bin/env python3
"""Turns a text picture of an icon into a Windows .ico file.

    make_ico.py PICTURE.txt OUTPUT.ico

The picture is 32 lines of 32 characters, top row first. Each character is one
pixel: '.' is transparent, any other is a colour of the standard Windows
16-colour palette (lower case for the dark colours, upper case for the bright
ones):

    k black       d dark grey   s light grey  W white
    r dark red    R red         g dark green  G green
    y olive       Y yellow      b dark blue   B blue
    m purple      M magenta     c teal        C cyan

The .ico holds one 32 x 32 image of 4 bits per pixel: a BITMAPINFOHEADER of
twice the height, the palette, the colour rows and the AND mask rows, both
bottom-up and padded to 4 bytes. A transparent pixel is black in the colour
rows with its mask bit set: the screen is ANDed with the mask and then XORed
with the colour, so any other colour there would show as an inverted pixel.
"""
import struct
import sys

SIZE = 32

# Palette index -> (character, RGB), in the order of the standard palette.
PALETTE = [
    ("k", (0x00, 0x00, 0x00)),
    ("r", (0x80, 0x00, 0x00)),
    ("g", (0x00, 0x80, 0x00)),
    ("y", (0x80, 0x80, 0x00)),
    ("b", (0x00, 0x00, 0x80)),
    ("m", (0x80, 0x00, 0x80)),
    ("c", (0x00, 0x80, 0x80)),
    ("s", (0xC0, 0xC0, 0xC0)),
    ("d", (0x80, 0x80, 0x80)),
    ("R", (0xFF, 0x00, 0x00)),
    ("G", (0x00, 0xFF, 0x00)),
    ("Y", (0xFF, 0xFF, 0x00)),
    ("B", (0x00, 0x00, 0xFF)),
    ("M", (0xFF, 0x00, 0xFF)),
    ("C", (0x00, 0xFF, 0xFF)),
    ("W", (0xFF, 0xFF, 0xFF)),
]
INDEX = {char: i for i, (char, _) in enumerate(PALETTE)}
TRANSPARENT = "."


def read_picture(path):
    """Returns the rows of the picture, stopping with a message naming the
    line and column of the first fault."""
    with open(path, encoding="ascii") as f:
        rows = f.read().splitlines()
    if len(rows) != SIZE:
        sys.exit(f"{path}: {len(rows)} lines, expected {SIZE}")
    for y, row in enumerate(rows, 1):
        if len(row) != SIZE:
            sys.exit(f"{path}:{y}: {len(row)} characters, expected {SIZE}")
        for x, char in enumerate(row, 1):
            if char != TRANSPARENT and char not in INDEX:
                sys.exit(f"{path}:{y}:{x}: '{char}' is not a palette colour")
    return rows


def icon_bytes(rows):
    colour_rows = []
    mask_rows = []
    for row in reversed(rows):  # DIB rows go bottom-up
        indexes = [INDEX.get(char, 0) for char in row]
        colour_rows.append(bytes(hi << 4 | lo for hi, lo in zip(indexes[0::2], indexes[1::2])))
        mask = 0
        for char in row:
            mask = mask << 1 | (char == TRANSPARENT)
        mask_rows.append(mask.to_bytes(SIZE // 8, "big"))
    colours = b"".join(colour_rows)  # 16 bytes a row: already a multiple of 4
    masks = b"".join(mask_rows)  # 4 bytes a row
    palette = b"".join(bytes((b, g, r, 0)) for _, (r, g, b) in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 4, 0,
                         len(colours) + len(masks), 0, 0, 0, 0)
    image = header + palette + colours + masks
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image),
                        len(directory) + 16)
    return directory + entry + image


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: make_ico.py PICTURE.txt OUTPUT.ico")
    data = icon_bytes(read_picture(sys.argv[1]))
    with open(sys.argv[2], "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
