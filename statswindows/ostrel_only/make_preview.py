#!/usr/bin/env python3
"""Draws the preview of ostrel_only.dll's one style, only.jpg, which its style menu names as
"only\\only.jpg". The plug-in has no skin picture: this is all the generator makes.

    make_preview.py <out dir> previews

The picture is the value window as it first opens, with the settings' defaults: 70 x 22 pixels,
the one-pixel border of its WS_BORDER style, the dialog's face in the first row and column of the
client area, and the value label (moved to client 1, 1 and reaching past the client's right and
bottom edges) filled with the default background colour 0xD8DCE9. A sample total traffic stands
in the label's centre in the default text colour 0x414141, in a heavy face for the label's
"Arial Black"; where that face is not installed the preview shows the window without it.
"""
import os
import sys

sys.dont_write_bytecode = True  # nothing is written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "common"))
import skinart  # noqa: E402
from skinart import colorref, rgb  # noqa: E402

W, H = 70, 22
FRAME = rgb(0x646464)  # the system's window frame colour
FACE = rgb(0xF0F0F0)   # the system's dialog face
TEXT_COLOUR = colorref(0x414141)  # COLORTEXT's default
BACK_COLOUR = colorref(0xD8DCE9)  # COLORBG's default
SAMPLE = "3 743.1"


def draw():
    c = skinart.Canvas(W, H, BACK_COLOUR)
    c.frame(0, 0, W, H, FRAME)
    c.rect(1, 1, W - 1, 2, FACE)
    c.rect(1, 1, 2, H - 1, FACE)
    return c


def write_preview(path):
    from PIL import ImageDraw

    img = skinart.preview_image(draw())
    font = skinart.preview_font(skinart.HEAVY_FACE, 11)
    if font is not None:
        # The label in window pixels: at client 1, 1 inside the border, as large as the client area.
        skinart.draw_label(ImageDraw.Draw(img), font, SAMPLE, 2, 2, W - 2, "C", TEXT_COLOUR, height=H - 2)
    skinart.save_preview(img, path)


def main():
    if len(sys.argv) > 2 and sys.argv[2] == "previews":
        write_preview(os.path.join(sys.argv[1], "only.jpg"))


if __name__ == "__main__":
    main()
