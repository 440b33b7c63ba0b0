#!/usr/bin/env python3
"""Draws the click tool's pictures: bitmaps 130 and 131 (64 x 55, 16 colours, a mouse with the
left or the right button highlighted) and icon 128 (32 x 32). Usage: make_images.py OUT_DIR"""

import os
import struct
import sys

W, H = 64, 55
# 16-colour palette (the classic VGA one), index -> (r, g, b).
PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
           (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
           (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, GREY, SILVER, RED, WHITE = 0, 8, 7, 9, 15


def mouse(highlight, w=W, h=H):
    """Rows of palette indices: a mouse body, two buttons, the chosen one red."""
    cx, top, bottom = (w - 1) / 2, 3, h - 3
    rx, ry = w * 0.36, (bottom - top) / 2
    cy = top + ry
    split = top + (bottom - top) * 0.42  # buttons above this line
    pixels = [[SILVER] * w for _ in range(h)]
    for y in range(h):
        for x in range(w):
            d = ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2
            if d > 1.0:
                continue
            edge = d > 0.86
            if edge or abs(y - split) < 0.8 or (y < split and abs(x - cx) < 0.8):
                pixels[y][x] = BLACK
            elif y < split:
                left = x < cx
                pixels[y][x] = RED if (left and highlight == "left") or (
                    not left and highlight == "right") else WHITE
            else:
                pixels[y][x] = WHITE if (x + y) % 7 else GREY
    # A short cable above the mouse.
    for y in range(0, top + 1):
        pixels[y][int(cx)] = BLACK
    return pixels


def bmp4(pixels):
    h, w = len(pixels), len(pixels[0])
    row_bytes = ((w + 1) // 2 + 3) // 4 * 4
    data = bytearray()
    for row in reversed(pixels):  # bottom-up
        line = bytearray(row_bytes)
        for x, index in enumerate(row):
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
        data += line
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 4, 0, len(data), 2835, 2835, 16, 16)
    offset = 14 + len(header) + len(palette)
    return struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset) + header + palette + data


def ico(pixels):
    """A 32-bit icon with an AND mask; silver background made transparent."""
    h, w = len(pixels), len(pixels[0])
    xor = bytearray()
    for row in reversed(pixels):
        for index in row:
            r, g, b = PALETTE[index]
            alpha = 0 if index == SILVER else 255
            xor += struct.pack("<BBBB", b, g, r, alpha)
    mask_row = ((w + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        line = bytearray(mask_row)
        for x, index in enumerate(row):
            if index == SILVER:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = header + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", w, h, 0, 0, 1, 32,
                                                           len(image), 6 + 16)
    return directory + image


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    with open(os.path.join(out, "mouse_left.bmp"), "wb") as f:
        f.write(bmp4(mouse("left")))
    with open(os.path.join(out, "mouse_right.bmp"), "wb") as f:
        f.write(bmp4(mouse("right")))
    with open(os.path.join(out, "clicktog.ico"), "wb") as f:
        f.write(ico(mouse("right", 32, 32)))


if __name__ == "__main__":
    main()
