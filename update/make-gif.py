#!/usr/bin/env python3
"""Writes the plug-in's 16 by 16 GIF image (resource FILES 4013): a green disc with a white arrow
on a transparent ground, always the same bytes. Usage: make-gif.py <output>"""
import sys

SIZE = 16
# palette: 0 transparent ground, 1 green, 2 dark green rim, 3 white
PALETTE = [(0xFF, 0xFF, 0xFF), (0x2E, 0x9E, 0x3C), (0x1B, 0x5E, 0x24), (0xFF, 0xFF, 0xFF)]


def pixel(x, y):
    dx, dy = x - 7.5, y - 7.5
    d = dx * dx + dy * dy
    if d > 56:
        return 0
    if d > 40:
        return 2
    # a downward arrow: shaft and head
    if 6 <= x <= 9 and 3 <= y <= 8:
        return 3
    if 9 <= y <= 12 and abs(x - 7.5) <= 12.5 - y:
        return 3
    return 1


def lzw(pixels, min_code_size=2):
    """Code-size-stable LZW: a clear code before every second pixel keeps every code 3 bits wide."""
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    codes = []
    for i, p in enumerate(pixels):
        if i % 2 == 0:
            codes.append(clear)
        codes.append(p)
    codes.append(end)
    out, acc, bits = bytearray(), 0, 0
    for c in codes:
        acc |= c << bits
        bits += 3
        while bits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            bits -= 8
    if bits:
        out.append(acc & 0xFF)
    return bytes(out)


def main():
    pixels = [pixel(x, y) for y in range(SIZE) for x in range(SIZE)]
    data = lzw(pixels)
    gif = bytearray(b"GIF89a")
    gif += SIZE.to_bytes(2, "little") + SIZE.to_bytes(2, "little") + bytes([0xF1, 0, 0])  # 4-colour table
    for r, g, b in PALETTE:
        gif += bytes([r, g, b])
    gif += bytes([0x21, 0xF9, 4, 0x01, 0, 0, 0, 0])  # graphic control: colour 0 transparent
    gif += bytes([0x2C, 0, 0, 0, 0]) + SIZE.to_bytes(2, "little") + SIZE.to_bytes(2, "little") + bytes([0])
    gif += bytes([2])
    for i in range(0, len(data), 255):
        block = data[i:i + 255]
        gif += bytes([len(block)]) + block
    gif += bytes([0, 0x3B])
    with open(sys.argv[1], "wb") as f:
        f.write(gif)


main()
