#!/usr/bin/env python3
"""Draws the skin picture of selvane.dll (selvane.bmp) and, with `previews`, its preview selvane.jpg.

    make_skin.py <out dir> [previews]

The skin is 246 x 139 pixels, 8 bits per pixel with a 256-colour palette, uncompressed. A light
card with round corners: the internet's pictogram beside a plate for the traffic and the online
balance (labels at 156, 17 and 156, 32), the television's beside the plate of its balance (156, 63),
and along the bottom the modem's and the decoder's, each above its plate (35, 109 and 160, 109).
Pure black is the key colour: it stands outside the round corners and nowhere else, so every
dark line of the picture is drawn in a near-black.
"""
import os
import sys

sys.dont_write_bytecode = True  # nothing is written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "common"))
import skinart  # noqa: E402
from skinart import rgb  # noqa: E402

W, H = 246, 139
KEY = (0, 0, 0)
CORNER = 14
INK = rgb(0x1A1F2B)


def plate(c, x0, y0, x1, y1):
    c.rounded(x0, y0, x1, y1, 4, rgb(0xFDFBF6), rgb(0xB9AE9A))
    c.rect(x0 + 3, y0 + 1, x1 - 3, y0 + 2, rgb(0xE6DED0))


def draw():
    c = skinart.Canvas(W, H, KEY)
    c.rounded(0, 0, W, H, CORNER, rgb(0xEDE5D6), rgb(0x6E6250))
    c.vgradient(3, 3, W - 3, 96, rgb(0xF6F0E4), rgb(0xE6DCC8), steps=16)
    c.rounded(1, 1, W - 1, H - 1, CORNER - 1, rgb(0xE6DCC8))
    c.vgradient(8, 3, W - 8, 96, rgb(0xF6F0E4), rgb(0xE6DCC8), steps=16)
    c.rect(12, 97, W - 12, 98, rgb(0xB9AE9A))
    plate(c, 150, 14, 219, 55)
    c.rect(156, 34, 213, 35, rgb(0xE6DED0))
    plate(c, 150, 61, 220, 85)
    plate(c, 30, 106, 110, 131)
    plate(c, 155, 106, 235, 131)
    skinart.globe(c, 118, 31, 19, rgb(0x5AA7DE), rgb(0xE8F3FB), INK)
    skinart.television(c, 121, 70, 34, 22, rgb(0x30343C), rgb(0x8CCDF2), rgb(0x2F6EA6), INK)
    skinart.modem(c, 70, 90, 44, 12, rgb(0xFDFBF6), INK, [rgb(0x2FAE4E), rgb(0x2FAE4E), rgb(0xE39B1E)])
    skinart.decoder(c, 195, 91, 56, 16, rgb(0x30343C), INK, rgb(0x0E2A1A), rgb(0x52E07A), rgb(0xE6DCC8))
    return c


if __name__ == "__main__":
    skinart.run([(skinart.corners_only(draw, KEY, CORNER, "selvane"), "selvane.bmp", 8, "selvane.jpg", KEY)])
