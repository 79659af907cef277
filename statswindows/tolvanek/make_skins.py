#!/usr/bin/env python3
"""Draws the two skin pictures of tolvanek.dll and their preview images.

    make_skins.py <out dir>            the skins: tolvanek-yellow.bmp, tolvanek-macos.bmp
    make_skins.py <out dir> previews   also tolvanek.jpg (style 1) and tolvanek2.jpg (style 2)

Each skin is a 272 x 184 picture, 8 bits per pixel with a 256-colour palette, uncompressed
(51112 bytes as a resource: 40-byte header, 1024-byte palette, 50048 bytes of rows). The panel
lines up with the labels of dialog template 102 at 96 dpi: a dialog unit is 1.5 pixels across and
1.625 pixels down with the template's 8-point font. Style 1 ("йеллоу") holds no pixel of its key
colour 0xFAF9F9 (its window is the full rectangle); style 2 ("MacOS") is pure white exactly in
its rounded corners, which the window region cuts away, and nowhere else.
"""
import os
import sys

sys.dont_write_bytecode = True  # nothing is written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "common"))
import skinart  # noqa: E402
from skinart import mix, rgb  # noqa: E402

W, H = 272, 184


def dlu_x(x):
    return int(round(x * 1.5))


def dlu_y(y):
    return int(round(y * 1.625))


class Canvas(skinart.Canvas):
    def __init__(self, colour):
        super().__init__(W, H, colour)


# Label rows of the template in pixels: (top, bottom) of each pair of rows per section.
SECTIONS = [(25, 42), (46, 62), (68, 85), (91, 108)]
VALUE_X = (dlu_x(106) - 3, dlu_x(144) + 3)
ALERT_X = (dlu_x(148) - 1, dlu_x(177) + 1)


def panel(canvas, p):
    """The body shared by both skins: four sections, each with two value wells and an alert pill."""
    for top, bottom in SECTIONS:
        y0, y1 = dlu_y(top) - 3, dlu_y(bottom) + 2
        canvas.round_box(5, y0, W - 3, y1, p["card"], p["card_edge"], p["card_corner"])
        canvas.rect(6, y0 + 1, W - 4, y0 + 2, p["card_light"])
        rows = [(top, top + 8), (top + 9, top + 17)] if bottom - top > 12 else [(top, top + 8)]
        if top == 46:
            rows = [(46, 54), (54, 62)]
        for r0, r1 in rows:
            canvas.round_box(VALUE_X[0], dlu_y(r0) - 1, VALUE_X[1], dlu_y(r1) + 1, p["well"], p["well_edge"],
                             p["card"])
            canvas.rect(VALUE_X[0] + 1, dlu_y(r0), VALUE_X[1] - 1, dlu_y(r0) + 1, p["well_shadow"])
        canvas.round_box(ALERT_X[0], dlu_y(top) - 1, ALERT_X[1], dlu_y(top + 8) + 1, p["pill"], p["pill_edge"],
                         p["card"])


def yellow():
    p = {
        "card": rgb(0xFFF1A8), "card_edge": rgb(0xD9A92B), "card_corner": rgb(0xF7CF4A),
        "card_light": rgb(0xFFF8D2), "well": rgb(0xFFFBE8), "well_edge": rgb(0xC99A22),
        "well_shadow": rgb(0xEADFA8), "pill": rgb(0xFFE58A), "pill_edge": rgb(0xC99A22),
    }
    c = Canvas(rgb(0xF7CF4A))
    c.vgradient(0, 0, W, H, rgb(0xFBDA5C), rgb(0xF1BC2C), steps=24)
    # Header: a cream strip for the date and the title of the period.
    c.vgradient(4, 2, W - 4, dlu_y(18), rgb(0xFFF9DC), rgb(0xFFEFAF), steps=12)
    c.frame(4, 2, W - 4, dlu_y(18), rgb(0xD9A92B))
    c.rect(5, dlu_y(18), W - 5, dlu_y(18) + 1, rgb(0xB8891A))
    # A small bar-chart emblem left of the title.
    c.disc(24, 15, 11, rgb(0xF29B1D), rgb(0xB8671A))
    for i, h in enumerate((5, 9, 13)):
        c.rect(17 + i * 5, 21 - h, 20 + i * 5, 22, rgb(0xFFF6D0))
    panel(c, p)
    c.frame(0, 0, W, H, rgb(0xA87810))
    c.frame(1, 1, W - 1, H - 1, rgb(0xFFE27A))
    return c


def macos():
    white = (255, 255, 255)
    p = {
        "card": rgb(0xECEDEF), "card_edge": rgb(0xB4B8BF), "card_corner": rgb(0xDADBDE),
        "card_light": rgb(0xF7F7F8), "well": rgb(0xF6F6F7), "well_edge": rgb(0x9EA3AB),
        "well_shadow": rgb(0xD4D6DA), "pill": rgb(0xE2E4E8), "pill_edge": rgb(0x9EA3AB),
    }
    c = Canvas(rgb(0xDADBDE))
    c.vgradient(0, 0, W, H, rgb(0xE4E5E8), rgb(0xCFD0D4), steps=24)
    # Title bar: graphite, with the three window buttons on the left.
    bar = dlu_y(18)
    c.vgradient(0, 0, W, bar, rgb(0x6B7480), rgb(0x3C444E), steps=16)
    c.rect(0, bar, W, bar + 1, rgb(0x2C323A))
    c.rect(0, bar + 1, W, bar + 2, rgb(0xF0F1F3))
    for i, (fill, edge) in enumerate(((0xFF5F57, 0xC9413A), (0xFEBC2E, 0xC58E1A), (0x28C840, 0x1A9A2E))):
        c.disc(13 + i * 14, 15, 5, rgb(fill), rgb(edge))
    panel(c, p)
    # The outline follows the rounded corners; outside it the corners are pure white.
    edge = rgb(0x7E8590)
    c.frame(0, 0, W, H, edge)
    cut = {0: 4, 1: 2, 2: 1, 3: 1}
    for row, n in cut.items():
        for y in (row, H - 1 - row):
            for x in list(range(n)) + list(range(W - n, W)):
                c.put(x, y, white)
    # The pixels just inside the cut take the outline.
    for y, x in ((0, 4), (1, 2), (1, 3), (2, 1), (4, 0)):
        for yy in (y, H - 1 - y):
            c.put(x, yy, edge)
            c.put(W - 1 - x, yy, edge)
    c.put(1, 3, edge), c.put(W - 2, 3, edge), c.put(1, H - 4, edge), c.put(W - 2, H - 4, edge)
    return c


def write_bmp(c, path):
    size = skinart.write_bmp(c, path, 8)
    assert size == 51112, size


# What the previews show on the panel: the template's captions and sample values, in the
# colours of each style (label rectangles in dialog units, alignment L, C or R).
CAPTIONS = [
    ("SatEx трафик", 11, 25), ("SatEx трафик за лимитом", 11, 34), ("UkrEx трафик", 11, 46),
    ("UkrEx трафик за лимитом", 11, 54), ("Весь трафик", 11, 68), ("Весь трафик за лимитом", 11, 77),
    ("Сальдо", 11, 91), ("Сальдо online", 11, 100),
]
VALUES = [("812.4", 25), ("0", 34), ("2 930.7", 46), ("0", 54), ("3 743.1", 68), ("0", 77),
          ("125.40", 91), ("118.25", 100)]


def write_preview(canvas, path, key, backdrop, colours):
    """The skin with sample texts as the window shows them; the skin alone where the font is missing."""
    from PIL import ImageDraw

    img = skinart.preview_image(canvas, key, backdrop)
    font = skinart.preview_font(skinart.DIALOG_FACE, 11)
    if font is not None:
        draw = ImageDraw.Draw(img)

        def text(t, x, y, w, align, colour):
            skinart.draw_label(draw, font, t, dlu_x(x), dlu_y(y), dlu_x(x + w) - dlu_x(x), align, colour)

        text("10.12.2026 12:00", 43, 1, 126, "C", colours["title"])
        text("итоги по трафику", 45, 9, 123, "C", colours["title"])
        for caption, x, y in CAPTIONS:
            text(caption, x, y, 88, "L", rgb(0x3D3D3D))
        for value, y in VALUES:
            text(value, 106, y, 38, "R", rgb(0x515151))
        # One alert on: the user's limit of the domestic traffic.
        draw.rectangle((dlu_x(148), dlu_y(46), dlu_x(177) - 1, dlu_y(54) - 1), fill=colours["alert_back"])
        text("2 500", 148, 46, 29, "C", colours["alert_text"])
    skinart.save_preview(img, path)


def main():
    out = sys.argv[1]
    yellow_colours = {"title": rgb(0x828282), "alert_text": rgb(0xEDDF00), "alert_back": rgb(0xF73148)}
    mac_colours = {"title": rgb(0xE3EAD9), "alert_text": rgb(0xFAFAFA), "alert_back": rgb(0x3CABF4)}
    skins = [(yellow(), "tolvanek-yellow.bmp", "tolvanek.jpg", (0xF9, 0xF9, 0xFA), yellow_colours),
             (macos(), "tolvanek-macos.bmp", "tolvanek2.jpg", (255, 255, 255), mac_colours)]
    for canvas, bmp, jpg, key, colours in skins:
        write_bmp(canvas, f"{out}/{bmp}")
        if len(sys.argv) > 2 and sys.argv[2] == "previews":
            write_preview(canvas, f"{out}/{jpg}", key, (0x3A, 0x6E, 0xA5), colours)


if __name__ == "__main__":
    main()
