#!/usr/bin/env python3
"""Writes the 16x16 icon the tray demo shows.

It is a filled square with a darker one-pixel border, 32-bit colour with
an all-opaque mask, so a screenshot shows exactly these colours.
usage: make_test_icons.py OUTPUT_DIR
"""
import struct
import sys
from pathlib import Path

SIZE = 16
ICONS = {
    "tray_red.ico": (200, 40, 40),
}


def pixel_rows(rgb):
    fill = bytes((rgb[2], rgb[1], rgb[0], 255))
    border = bytes((rgb[2] // 2, rgb[1] // 2, rgb[0] // 2, 255))
    rows = []
    for y in range(SIZE):
        row = b"".join(border if y in (0, SIZE - 1) or x in (0, SIZE - 1) else fill
                       for x in range(SIZE))
        rows.append(row)
    return b"".join(reversed(rows))  # bottom-up, as in a DIB


def icon_file(rgb):
    colour = pixel_rows(rgb)
    mask = bytes(4 * SIZE)  # one 32-bit padded row per line, all opaque
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 32, 0,
                         len(colour) + len(mask), 0, 0, 0, 0)
    image = header + colour + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    for name, rgb in ICONS.items():
        (out / name).write_bytes(icon_file(rgb))


if __name__ == "__main__":
    main()
