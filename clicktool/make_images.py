#!/usr/bin/env python3
"""Draws the click tool's pictures: bitmaps 130 and 131 (64 x 55, 16 colours, a mouse with the
left or the right button highlighted) and icon 128 (32 x 32). Usage: make_images.py OUT_DIR"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools", "images"))
from bitmap_files import BLACK, GREY, RED, SILVER, WHITE, bmp4, ico  # noqa: E402

W, H = 64, 55


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
