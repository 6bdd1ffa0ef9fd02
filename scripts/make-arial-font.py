#!/usr/bin/python3
"""Makes a font with the widths of Windows' Arial from Debian's Liberation Sans.

Liberation Sans has Arial's glyph advances but declares a larger average character width
(OS/2 xAvgCharWidth 1208 units against Arial's 904). Windows and Wine scale a font created
with a non-zero width so that its average width matches the one asked for, so under
Liberation Sans the program's labels come out narrower than on Windows. This copy declares
Arial's average width and a family name of its own, which the Wine prefix maps to "Arial".

usage: make-arial-font.py OUT.ttf
"""
import sys

from fontTools.ttLib import TTFont

SOURCE = "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf"
ARIAL_AVERAGE_WIDTH = 904
FAMILY = "Elemtrix Arial Widths"
POSTSCRIPT_NAME = "ElemtrixArialWidths"
# family, unique name, full name, PostScript name, typographic family
NAMES = {1: FAMILY, 3: POSTSCRIPT_NAME, 4: FAMILY, 6: POSTSCRIPT_NAME, 16: FAMILY}


def main(out):
    font = TTFont(SOURCE)
    font["OS/2"].xAvgCharWidth = ARIAL_AVERAGE_WIDTH
    for record in font["name"].names:
        if record.nameID in NAMES:
            record.string = NAMES[record.nameID]
    font.save(out)


if __name__ == "__main__":
    main(sys.argv[1])
