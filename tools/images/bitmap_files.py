"""Writes pictures drawn at build time as Windows resource files: 16-colour bitmaps and 32-bit
icons with a mask. A picture is a list of rows of palette indices (VGA palette below)."""

import struct

# The classic 16-colour palette, index -> (r, g, b).
PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
           (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
           (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GREY, RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE = range(8, 16)


def bmp4(pixels):
    """A 4-bit bottom-up BMP file."""
    h, w = len(pixels), len(pixels[0])
    row_bytes = ((w + 1) // 2 + 3) // 4 * 4
    data = bytearray()
    for row in reversed(pixels):
        line = bytearray(row_bytes)
        for x, index in enumerate(row):
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
        data += line
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 4, 0, len(data), 2835, 2835, 16, 16)
    offset = 14 + len(header) + len(palette)
    return struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset) + header + palette + data


def ico(pixels, transparent=SILVER):
    """A 32-bit icon with an AND mask; pixels of the `transparent` index are see-through."""
    h, w = len(pixels), len(pixels[0])
    xor = bytearray()
    for row in reversed(pixels):
        for index in row:
            r, g, b = PALETTE[index]
            xor += struct.pack("<BBBB", b, g, r, 0 if index == transparent else 255)
    mask_row = ((w + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        line = bytearray(mask_row)
        for x, index in enumerate(row):
            if index == transparent:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = header + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", w, h, 0, 0, 1, 32,
                                                           len(image), 6 + 16)
    return directory + image


def canvas(w, h, fill=SILVER):
    return [[fill] * w for _ in range(h)]


def rect(pixels, x0, y0, x1, y1, index):
    """Fills [x0, x1) x [y0, y1), clipped to the picture."""
    for y in range(max(0, y0), min(len(pixels), y1)):
        for x in range(max(0, x0), min(len(pixels[0]), x1)):
            pixels[y][x] = index


def frame(pixels, x0, y0, x1, y1, index):
    rect(pixels, x0, y0, x1, y0 + 1, index)
    rect(pixels, x0, y1 - 1, x1, y1, index)
    rect(pixels, x0, y0, x0 + 1, y1, index)
    rect(pixels, x1 - 1, y0, x1, y1, index)


def disc(pixels, cx, cy, r, index):
    for y in range(len(pixels)):
        for x in range(len(pixels[0])):
            if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                pixels[y][x] = index


def write(path, data):
    with open(path, "wb") as out:
        out.write(data)
