#!/usr/bin/env python3
"""Draws the skin picture of zol.dll (zol.bmp) and, with `previews`, its preview zol.jpg.

    make_skin.py <out dir> [previews]

The skin is 103 x 195 pixels, 24 bits per pixel, uncompressed: a narrow column with round
corners. A header strip holds the period's title (label at 0, 19), then light bands hold, one
below the other, the total traffic (0, 50), the tariff's limit (0, 90), the traffic over it
(0, 126) with the traffic alert below (20, 140) and the online balance (0, 165) with the balance
alert (20, 183); a coloured mark at the left of each band tells the sections apart. Only the
pixels outside the corners are the key colour 0xFAF9F9.
"""
import os
import sys

sys.dont_write_bytecode = True  # nothing is written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "common"))
import skinart  # noqa: E402
from skinart import rgb  # noqa: E402

W, H = 103, 195
KEY = skinart.colorref(0xFAF9F9)
CORNER = 8
# (top, bottom, mark colour) of the value bands.
BANDS = [(44, 74, 0x3D8FD1), (86, 114, 0x8C6BC8), (122, 154, 0xE07B39), (160, 195, 0x3FAE5A)]


def draw():
    c = skinart.Canvas(W, H, KEY)
    c.rounded(0, 0, W, H, CORNER, rgb(0xDCE1E6), rgb(0x7D8791))
    c.rounded(1, 1, W - 1, H - 1, CORNER - 1, rgb(0xDCE1E6))
    c.vgradient(6, 1, W - 6, 36, rgb(0xFFFFFF), rgb(0xC9D2DB), steps=12)
    c.rect(2, 14, W - 2, 34, rgb(0xF0F3F6))
    c.rect(2, 34, W - 2, 35, rgb(0x9AA5B0))
    for top, bottom, mark in BANDS:
        c.rect(4, top, W - 4, min(bottom, H - 3), rgb(0xF4F6F8))
        c.rect(4, top, 7, min(bottom, H - 3), rgb(mark))
        c.rect(7, top, W - 4, top + 1, rgb(0xFFFFFF))
    return c


if __name__ == "__main__":
    skinart.run([(skinart.corners_only(draw, KEY, CORNER, "zol"), "zol.bmp", 24, "zol.jpg", KEY)])
