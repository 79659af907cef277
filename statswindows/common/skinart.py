"""Drawing and writing the skin pictures of the statistics windows.

Every plug-in's generator draws its pictures on a Canvas with these primitives and writes them
with write_bmp as uncompressed device-independent bitmaps (8 bits per pixel with a 256-colour
palette, or 24 bits per pixel), which the .rc files embed, and writes its preview images with
write_preview (or preview_image, draw_label for sample texts and save_preview) as JPEG files,
which the host shows in its style list. Everything is computed from the code alone: the same
source gives the same bytes on every machine (the previews' sample texts wherever their face is
installed).
"""
import struct
import sys


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def rgb(value):
    """A hex RGB number (as designers write colours) to a tuple."""
    return ((value >> 16) & 255, (value >> 8) & 255, value & 255)


def colorref(value):
    """A Windows COLORREF (0x00BBGGRR) to an RGB tuple."""
    return (value & 255, (value >> 8) & 255, (value >> 16) & 255)


class Canvas:
    def __init__(self, width, height, colour):
        self.width, self.height = width, height
        self.px = [[colour] * width for _ in range(height)]

    def put(self, x, y, c):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):  # x1, y1 exclusive
        for y in range(max(0, y0), min(self.height, y1)):
            row = self.px[y]
            for x in range(max(0, x0), min(self.width, x1)):
                row[x] = c

    def vgradient(self, x0, y0, x1, y1, top, bottom, steps=16):
        height = max(1, y1 - y0)
        for y in range(y0, y1):
            t = round((y - y0) / max(1, height - 1) * (steps - 1)) / (steps - 1)
            self.rect(x0, y, x1, y + 1, mix(top, bottom, t))

    def frame(self, x0, y0, x1, y1, c):
        self.rect(x0, y0, x1, y0 + 1, c)
        self.rect(x0, y1 - 1, x1, y1, c)
        self.rect(x0, y0, x0 + 1, y1, c)
        self.rect(x1 - 1, y0, x1, y1, c)

    def round_box(self, x0, y0, x1, y1, fill, edge, corner_fill):
        """A box with one-pixel cut corners: corner pixels take corner_fill."""
        self.rect(x0, y0, x1, y1, fill)
        self.frame(x0, y0, x1, y1, edge)
        for x, y in ((x0, y0), (x1 - 1, y0), (x0, y1 - 1), (x1 - 1, y1 - 1)):
            self.put(x, y, corner_fill)

    def disc(self, cx, cy, r, fill, edge):
        for y in range(cy - r - 1, cy + r + 2):
            for x in range(cx - r - 1, cx + r + 2):
                d = ((x - cx) ** 2 + (y - cy) ** 2) ** 0.5
                if d <= r - 0.5:
                    self.put(x, y, fill)
                elif d <= r + 0.5:
                    self.put(x, y, edge)

    def rounded(self, x0, y0, x1, y1, r, fill, edge=None):
        """A box with corners of radius r; with an edge colour, a one-pixel outline follows them."""
        for y in range(max(0, y0), min(self.height, y1)):
            for x in range(max(0, x0), min(self.width, x1)):
                cx = min(max(x, x0 + r), x1 - 1 - r)
                cy = min(max(y, y0 + r), y1 - 1 - r)
                d = ((x - cx) ** 2 + (y - cy) ** 2) ** 0.5
                if d > r + 0.5:
                    continue
                on_edge = d > r - 0.5 or x in (x0, x1 - 1) or y in (y0, y1 - 1)
                self.px[y][x] = edge if edge is not None and on_edge else fill

    def line(self, x0, y0, x1, y1, c):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(steps + 1):
            self.put(int(round(x0 + (x1 - x0) * i / steps)), int(round(y0 + (y1 - y0) * i / steps)), c)

    def colours(self):
        return {col for row in self.px for col in row}


def write_bmp(canvas, path, bits):
    """Writes the canvas as a bottom-up BMP of 8 (palette) or 24 bits per pixel; returns the size of
    the resource the .rc file makes of it (the file without its 14-byte file header)."""
    w, h = canvas.width, canvas.height
    pixels = bytearray()
    if bits == 8:
        colours = sorted(canvas.colours())
        if len(colours) > 256:
            raise SystemExit(f"{path}: {len(colours)} colours do not fit a 256-colour palette")
        palette = colours + [(0, 0, 0)] * (256 - len(colours))
        index = {col: i for i, col in enumerate(colours)}
        pad = (-w) % 4
        for y in range(h - 1, -1, -1):  # rows bottom-up
            pixels.extend(index[col] for col in canvas.px[y])
            pixels.extend(b"\0" * pad)
        table = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
        used = 256
    elif bits == 24:
        pad = (-3 * w) % 4
        for y in range(h - 1, -1, -1):
            for (r, g, b) in canvas.px[y]:
                pixels.extend((b, g, r))
            pixels.extend(b"\0" * pad)
        table = b""
        used = 0
    else:
        raise ValueError(bits)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, bits, 0, len(pixels), 3780, 3780, used, 0)
    body = info + table + bytes(pixels)
    with open(path, "wb") as f:
        f.write(struct.pack("<2sIHHI", b"BM", 14 + len(body), 0, 0, 14 + len(info) + len(table)))
        f.write(body)
    return len(body)


def preview_image(canvas, key=None, backdrop=None):
    """The picture as the user sees the window, as a Pillow image: key-colour pixels show the
    desktop (backdrop); without a key colour every pixel is the window's."""
    from PIL import Image

    img = Image.new("RGB", (canvas.width, canvas.height))
    img.putdata([backdrop if key is not None and col == key else col for row in canvas.px for col in row])
    return img


def save_preview(img, path):
    img.save(path, "JPEG", quality=92)


def write_preview(canvas, path, key, backdrop):
    save_preview(preview_image(canvas, key, backdrop), path)


# Faces for the sample texts of the previews: the dialog templates' 8-point font at 96 dpi, and a
# heavy face for labels in "Arial Black". Where a face is not installed, a preview shows its
# picture without the texts that need it.
DIALOG_FACE = "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed.ttf"
HEAVY_FACE = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"


def preview_font(face, size):
    """The face at a size in pixels, or None where it is not installed."""
    import os

    from PIL import ImageFont

    return ImageFont.truetype(face, size) if os.path.exists(face) else None


def draw_label(draw, font, text, left, top, width, align, colour, height=None):
    """A label's text in the box that starts at (left, top) and is `width` wide, aligned "L", "C"
    or "R" across it. Without a height the text's line starts at top; with one, the line is
    centred down the box as a static with SS_CENTERIMAGE centres it."""
    size = draw.textlength(text, font=font)
    at = left if align == "L" else left + width - size if align == "R" else left + (width - size) / 2
    if height is not None:
        ascent, descent = font.getmetrics()
        top += (height - ascent - descent) // 2
    draw.text((at, top), text, font=font, fill=colour)


# Pictograms of what a value is about, drawn around a centre point; every colour is the caller's.

def globe(c, cx, cy, r, sea, line, edge):
    """The internet: a globe with two meridian ellipses, the axis and three parallels."""
    c.disc(cx, cy, r, sea, edge)
    for k in (0.4, 0.8):
        for y in range(cy - r + 1, cy + r):
            half = (r * r - (y - cy) ** 2) ** 0.5 * k
            c.put(int(round(cx - half)), y, line)
            c.put(int(round(cx + half)), y, line)
    c.line(cx, cy - r + 1, cx, cy + r - 1, line)
    for dy in (-r // 2, 0, r // 2):
        half = int((r * r - dy * dy) ** 0.5) - 1
        c.line(cx - half, cy + dy, cx + half, cy + dy, line)


def television(c, cx, cy, w, h, body, screen_top, screen_bottom, edge):
    """A flat screen on a foot; w x h is the screen's frame."""
    x0, y0 = cx - w // 2, cy - h // 2
    c.rounded(x0, y0, x0 + w, y0 + h, 3, body, edge)
    c.vgradient(x0 + 3, y0 + 3, x0 + w - 3, y0 + h - 3, screen_top, screen_bottom, steps=8)
    c.rect(cx - 2, y0 + h, cx + 2, y0 + h + 4, edge)
    c.rounded(cx - w // 4, y0 + h + 4, cx + w // 4, y0 + h + 7, 1, body, edge)


def modem(c, cx, cy, w, h, body, edge, lights):
    """A box with two antennas and a row of lights; w x h is the box."""
    x0, y0 = cx - w // 2, cy - h // 2
    for ax in (x0 + 4, x0 + w - 5):
        c.line(ax, y0, ax + (ax - cx) // 4, y0 - h, edge)
    c.rounded(x0, y0, x0 + w, y0 + h, 3, body, edge)
    step = max(3, (w - 8) // (2 * len(lights)))
    for i, light in enumerate(lights):
        lx = x0 + 5 + i * 2 * step
        c.rect(lx, y0 + h // 2 - 1, lx + step, y0 + h // 2 + 2, light)


def decoder(c, cx, cy, w, h, body, edge, display, glow, button):
    """A flat set-top box: a display with a figure on the left, round buttons on the right."""
    x0, y0 = cx - w // 2, cy - h // 2
    c.rounded(x0, y0, x0 + w, y0 + h, 2, body, edge)
    c.rect(x0 + 4, y0 + 3, x0 + w // 2, y0 + h - 3, display)
    for i in range(3):
        c.rect(x0 + 6 + i * 5, cy - 2, x0 + 9 + i * 5, cy + 2, glow)
    for i in range(2):
        c.disc(x0 + w - 7 - i * 8, cy, 2, button, edge)


def key_pixels(canvas, key):
    return sum(row.count(key) for row in canvas.px)


def run(pictures, backdrop=(0x3A, 0x6E, 0xA5)):
    """A generator's command line, `<out dir> [previews]`. pictures: (draw, bmp name, bits per pixel,
    jpg name, key colour); a preview shows the key-colour pixels as a plain desktop (backdrop)."""
    out = sys.argv[1]
    previews = len(sys.argv) > 2 and sys.argv[2] == "previews"
    for draw, bmp, bits, jpg, key in pictures:
        canvas = draw()
        write_bmp(canvas, f"{out}/{bmp}", bits)
        if previews:
            write_preview(canvas, f"{out}/{jpg}", key, backdrop)


def corners_only(draw, key, corner, name):
    """draw, checked: the key colour may stand only in the corner squares of side `corner`."""
    def checked():
        c = draw()
        for y, row in enumerate(c.px):
            for x, col in enumerate(row):
                if col == key and (corner <= x < c.width - corner or corner <= y < c.height - corner):
                    raise SystemExit(f"{name}: key colour inside the picture at {x}, {y}")
        return c
    return checked
