#!/usr/bin/env python3
"""Draws the skin picture of morvik.dll (morvik.bmp) and, with `previews`, its preview morvik.jpg.

    make_skin.py <out dir> [previews]

The skin is 350 x 120 pixels, 24 bits per pixel, uncompressed. Four tiles stand side by side,
one per value, each with its pictogram above a light band on which the window's labels write in
black: the internet tile carries the traffic (label at 0, 88) and the balance (0, 103), then the
television balance (91, 97), the modem rent (172, 97) and the decoder rent (256, 97). The panel
has round corners; the pixels outside them, and only those, are the key colour 0xFAF9F9, which
the window region cuts away.
"""
import os
import sys

sys.dont_write_bytecode = True  # nothing is written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "common"))
import skinart  # noqa: E402
from skinart import rgb  # noqa: E402

W, H = 350, 120
KEY = skinart.colorref(0xFAF9F9)
CORNER = 12
# (left, right) of each tile; the label centres are 45, 131, 217 and 301.
TILES = [(4, 88), (92, 171), (175, 259), (263, 346)]
BAND_TOP = 86


def draw():
    c = skinart.Canvas(W, H, KEY)
    c.rounded(0, 0, W, H, CORNER, rgb(0x2D4E73), rgb(0x1B3350))
    c.vgradient(2, 2, W - 2, BAND_TOP - 4, rgb(0x4A78A8), rgb(0x2D4E73), steps=20)
    c.rounded(2, 2, W - 2, H - 2, CORNER - 2, rgb(0x2D4E73))
    c.vgradient(6, 2, W - 6, BAND_TOP - 4, rgb(0x4F7FB1), rgb(0x2E5077), steps=20)
    for left, right in TILES:
        c.rounded(left, 5, right, H - 3, 6, rgb(0x3B6594), rgb(0x6F9CCB))
        c.rounded(left + 2, BAND_TOP, right - 2, H - 5, 4, rgb(0xEEF2F6), rgb(0xA9BCD0))
        c.rect(left + 4, BAND_TOP + 1, right - 4, BAND_TOP + 2, rgb(0xFFFFFF))
    ink, light = rgb(0x16273A), rgb(0xDCE8F5)
    skinart.globe(c, 46, 44, 27, rgb(0x3D9BE0), rgb(0xCFE7FA), ink)
    skinart.television(c, 131, 40, 56, 38, rgb(0x2A2F36), rgb(0x7FC4F0), rgb(0x2E6FA8), ink)
    skinart.modem(c, 217, 56, 56, 18, light, ink, [rgb(0x3CCB5A), rgb(0x3CCB5A), rgb(0xF2B632), rgb(0x3CCB5A)])
    skinart.decoder(c, 304, 48, 66, 20, rgb(0x2A2F36), ink, rgb(0x0E2A1A), rgb(0x52E07A), light)
    return c


if __name__ == "__main__":
    skinart.run([(skinart.corners_only(draw, KEY, CORNER, "morvik"), "morvik.bmp", 24, "morvik.jpg", KEY)])
