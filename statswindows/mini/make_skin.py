#!/usr/bin/env python3
"""Draws the skin picture of mini.dll (mini.bmp) and, with `previews`, its preview mini.jpg.

    make_skin.py <out dir> [previews]

The skin is 156 x 75 pixels, 8 bits per pixel with a 256-colour palette, uncompressed: a small
card with round corners, the internet's pictogram on the left and on the right one plate for the
two values (labels at 75, 27 and 75, 42). Pure black is the key colour and stands only outside
the corners; the picture's dark lines are near-black.
"""
import os
import sys

sys.dont_write_bytecode = True  # nothing is written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "common"))
import skinart  # noqa: E402
from skinart import rgb  # noqa: E402

W, H = 156, 75
KEY = (0, 0, 0)
CORNER = 12


def draw():
    c = skinart.Canvas(W, H, KEY)
    c.rounded(0, 0, W, H, CORNER, rgb(0xE9E2D3), rgb(0x6E6250))
    c.rounded(1, 1, W - 1, H - 1, CORNER - 1, rgb(0xE9E2D3))
    c.vgradient(10, 2, W - 10, H - 2, rgb(0xF6F0E4), rgb(0xE2D7C2), steps=12)
    c.rounded(72, 22, 142, 64, 5, rgb(0xFDFBF6), rgb(0xB9AE9A))
    c.rect(78, 43, 136, 44, rgb(0xE6DED0))
    skinart.globe(c, 38, 37, 24, rgb(0x5AA7DE), rgb(0xE8F3FB), rgb(0x1A1F2B))
    return c


if __name__ == "__main__":
    skinart.run([(skinart.corners_only(draw, KEY, CORNER, "mini"), "mini.bmp", 8, "mini.jpg", KEY)])
