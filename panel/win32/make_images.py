#!/usr/bin/env python3
"""Draws Orbisk's pictures at build time: the program icon (128), the open and closed folder of
the double-click test (177, 178), the USB and serial device icons of the device list (181, 182),
the logo of the Information page (bitmap 180) and the strip under the device list (bitmap 183).
Usage: make_images.py OUT_DIR"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools",
                                "images"))
from bitmap_files import (AQUA, BLACK, BLUE, GREY, LIME, NAVY, OLIVE, RED, SILVER,  # noqa: E402
                          TEAL, WHITE, YELLOW, bmp4, canvas, disc, frame, ico, rect, write)


def screen(size=32):
    """A touch screen with a fingertip on it: the program's icon."""
    p = canvas(size, size)
    rect(p, 2, 4, size - 2, size - 8, GREY)
    rect(p, 4, 6, size - 4, size - 10, NAVY)
    for x in range(6, size - 6, 4):  # infrared beams across the glass
        rect(p, x, 7, x + 1, size - 11, TEAL)
    rect(p, size // 2 - 3, size - 8, size // 2 + 3, size - 5, GREY)
    rect(p, size // 2 - 8, size - 5, size // 2 + 8, size - 3, GREY)
    disc(p, size // 2 + 3, size // 2 - 3, 3, YELLOW)
    return p


def folder(open_):
    p = canvas(32, 32)
    rect(p, 3, 7, 13, 10, OLIVE)
    rect(p, 3, 9, 28, 26, OLIVE)
    if open_:
        for row in range(12, 26):  # the open flap leans forward
            shift = (26 - row) // 2
            rect(p, 6 - shift + 3, row, 31 - shift, row + 1, YELLOW)
        rect(p, 7, 8, 26, 12, WHITE)  # a sheet of paper with a line of writing
        rect(p, 9, 10, 22, 11, BLUE)
    else:
        rect(p, 4, 11, 27, 25, YELLOW)
    frame(p, 3, 9, 28, 26, BLACK)
    return p


def usb_device():
    p = canvas(32, 32)
    rect(p, 6, 4, 26, 28, GREY)
    frame(p, 6, 4, 26, 28, BLACK)
    rect(p, 9, 7, 23, 18, TEAL)
    rect(p, 13, 20, 19, 28, SILVER)  # the USB plug
    frame(p, 13, 20, 19, 28, BLACK)
    rect(p, 14, 22, 15, 24, BLACK)
    rect(p, 17, 22, 18, 24, BLACK)
    disc(p, 16, 12, 2, LIME)
    return p


def serial_device():
    p = canvas(32, 32)
    rect(p, 6, 4, 26, 22, GREY)
    frame(p, 6, 4, 26, 22, BLACK)
    rect(p, 9, 7, 23, 18, TEAL)
    rect(p, 8, 23, 24, 29, BLUE)  # the nine-pin connector
    frame(p, 8, 23, 24, 29, BLACK)
    for x in range(10, 23, 3):
        rect(p, x, 25, x + 1, 26, WHITE)
    disc(p, 16, 12, 2, RED)
    return p


def logo(w=96, h=64):
    """Beams crossing a touch surface, one finger interrupting them."""
    p = canvas(w, h, WHITE)
    rect(p, 4, 4, w - 4, h - 4, NAVY)
    for x in range(10, w - 8, 6):
        rect(p, x, 8, x + 1, h - 8, TEAL)
    for y in range(10, h - 8, 6):
        rect(p, 8, y, w - 8, y + 1, TEAL)
    fx, fy = w * 5 // 8, h * 3 // 8
    rect(p, fx - 1, 8, fx + 2, h - 8, RED)
    rect(p, 8, fy - 1, w - 8, fy + 2, RED)
    disc(p, fx, fy, 6, YELLOW)
    frame(p, 4, 4, w - 4, h - 4, BLACK)
    return p


def device_strip(w=420, h=24):
    """A band of beams under the device list's frame."""
    p = canvas(w, h)
    for x in range(0, w, 8):
        rect(p, x, 4, x + 4, h - 4, AQUA if (x // 8) % 5 else TEAL)
    rect(p, 0, h // 2, w, h // 2 + 1, NAVY)
    return p


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    write(os.path.join(out, "orbisk.ico"), ico(screen()))
    write(os.path.join(out, "open_folder.ico"), ico(folder(True)))
    write(os.path.join(out, "closed_folder.ico"), ico(folder(False)))
    write(os.path.join(out, "usb_device.ico"), ico(usb_device()))
    write(os.path.join(out, "serial_device.ico"), ico(serial_device()))
    write(os.path.join(out, "logo.bmp"), bmp4(logo()))
    write(os.path.join(out, "device_strip.bmp"), bmp4(device_strip()))


if __name__ == "__main__":
    main()
