#!/usr/bin/env python3
"""Turns a 32 x 32 character picture into a 16-colour .ico with a transparency mask."""
import struct
import sys

# The standard 16-colour palette, as RGB; letters name the entries the picture uses.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
INDEX = {'.': 0, 'R': 9, 'G': 10, 'B': 12}
SIZE = 32


def main(source, target):
    rows = [line.rstrip('\n') for line in open(source) if not line.startswith('#')]
    if len(rows) != SIZE or any(len(r) != SIZE for r in rows):
        sys.exit(f'{source}: the picture must be {SIZE} lines of {SIZE} characters')
    colours = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bitmaps are stored bottom-up
        for x in range(0, SIZE, 2):
            colours.append(INDEX[row[x]] << 4 | INDEX[row[x + 1]])
        bits = 0
        for x in range(SIZE):
            bits = bits << 1 | (row[x] == '.')
        mask += struct.pack('>I', bits)  # 32 bits: already a multiple of four bytes
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, 2 * SIZE, 1, 4, 0,
                         len(colours) + len(mask), 0, 0, 16, 0)
    image = header + palette + bytes(colours) + bytes(mask)
    directory = struct.pack('<HHH', 0, 1, 1) + struct.pack(
        '<BBBBHHII', SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    with open(target, 'wb') as f:
        f.write(directory + image)


if __name__ == '__main__':
    main(sys.argv[1], sys.argv[2])
