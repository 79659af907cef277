#!/usr/bin/env python3
"""Draws the updater's program icon (16, 32 and 48 pixels, 32-bit colour with alpha) into an .ico
file: a blue disc with a white arrow pointing down into a tray. Deterministic, so every build
writes the same bytes."""
import struct
import sys


def pixel(size, x, y):
    # Coordinates scaled to a 16-unit square; (0, 0) is the top left corner.
    u = (x + 0.5) * 16.0 / size
    v = (y + 0.5) * 16.0 / size
    dx, dy = u - 8.0, v - 8.0
    if dx * dx + dy * dy > 7.6 * 7.6:
        return (0, 0, 0, 0)
    white = (255, 255, 255, 255)
    if 7.0 <= u <= 9.0 and 3.0 <= v <= 8.5:
        return white  # arrow shaft
    if 8.5 <= v <= 11.0 and abs(dx) <= (11.0 - v) * 1.4:
        return white  # arrow head
    if 11.8 <= v <= 12.8 and 4.0 <= u <= 12.0:
        return white  # tray
    return (0x30, 0x70, 0xD0, 255)  # (r, g, b, a)


def image(size):
    rows = []
    for y in reversed(range(size)):  # DIB rows run bottom-up
        row = b""
        for x in range(size):
            r, g, b, a = pixel(size, x, y)
            row += bytes((b, g, r, a))
        rows.append(row)
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    mask = b"\0" * (mask_row * size)  # alpha does the masking
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + mask


def main(out):
    sizes = (16, 32, 48)
    images = [image(s) for s in sizes]
    data = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, img in zip(sizes, images):
        data += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    data += b"".join(images)
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main(sys.argv[1])
