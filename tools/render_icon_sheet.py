#!/usr/bin/env python3
"""Renders every icon of the agent on one PNG sheet for review (standard library only).

Each row shows one icon file: its resource id and name, every image (16, 20,
24 and 32 pixels) enlarged over a checkerboard (so transparency shows), and
every image at its real size on a light and on a dark background, as it
appears in menus and the tray at 100, 125, 150 and 200 %.

    python3 tools/render_icon_sheet.py [ICON_DIR] [OUTPUT_PNG]
        (defaults: shell/res, docs/icons.png)
"""
import os
import struct
import sys
import zlib

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..')

# Resource id, name and file, in the order of the resource catalogue.
ICONS = [
    (128, 'IDI_ONLINE', 'online.ico'),
    (130, 'IDI_AWAY', 'away.ico'),
    (131, 'IDI_OFFLINE', 'offline.ico'),
    (132, 'IDI_CLOSE', 'close.ico'),
    (133, 'IDI_SIGN_IN_OUT', 'sign_in_out.ico'),
    (135, 'IDI_NEW_MESSAGE', 'new_message.ico'),
    (137, 'IDI_ABOUT', 'about.ico'),
    (138, 'IDI_CONNECTING_1', 'connecting_1.ico'),
    (140, 'IDI_CONNECTING_2', 'connecting_2.ico'),
    (141, 'IDI_CONNECTING_3', 'connecting_3.ico'),
    (142, 'IDI_CONNECTING_4', 'connecting_4.ico'),
]

# 3x5 glyphs for the labels.
FONT = {
    '0': '111101101101111', '1': '010110010010111', '2': '111001111100111',
    '3': '111001111001111', '4': '101101111001001', '5': '111100111001111',
    '6': '111100111101111', '7': '111001010010010', '8': '111101111101111',
    '9': '111101111001111', '_': '000000000000111', ' ': '000000000000000',
    'A': '010101111101101', 'B': '110101110101110', 'C': '011100100100011',
    'D': '110101101101110', 'E': '111100110100111', 'F': '111100110100100',
    'G': '011100101101011', 'H': '101101111101101', 'I': '111010010010111',
    'L': '100100100100111', 'M': '101111111101101', 'N': '110101101101101',
    'O': '010101101101010', 'R': '110101110101101', 'S': '011100010001110',
    'T': '111010010010010', 'U': '101101101101111', 'V': '101101101101010',
    'W': '101101111111101', 'Y': '101101010010010',
}

ZOOM_TARGET = 128          # enlarged images are this many pixels wide
COLUMNS = 2
LABEL_SCALE = 3
MARGIN = 16
PAPER = (250, 250, 247)
INK = (40, 40, 40)
LIGHT = (236, 233, 216)    # a classic light menu background
DARK = (32, 40, 56)        # a dark taskbar


def read_ico(path):
    """List of images, each a list of rows of (r, g, b, a)."""
    with open(path, 'rb') as f:
        data = f.read()
    _, kind, count = struct.unpack_from('<HHH', data)
    assert kind == 1, path
    images = []
    for i in range(count):
        (_, _, _, _, _, _, length, offset) = struct.unpack_from('<BBBBHHII', data, 6 + 16 * i)
        blob = data[offset:offset + length]
        images.append(decode_png(blob) if blob.startswith(PNG_SIGNATURE) else decode_dib(blob))
    return sorted(images, key=len)


PNG_SIGNATURE = b'\x89PNG\r\n\x1a\n'


def decode_png(blob):
    """The RGBA PNG images that gen_icons.py writes: unfiltered scanlines."""
    pos, data, width, height = 8, b'', 0, 0
    while pos < len(blob):
        (length,) = struct.unpack_from('>I', blob, pos)
        kind, body = blob[pos + 4:pos + 8], blob[pos + 8:pos + 8 + length]
        if kind == b'IHDR':
            width, height, depth, colour_type = struct.unpack_from('>IIBB', body)
            assert (depth, colour_type) == (8, 6), 'not an 8-bit RGBA PNG'
        elif kind == b'IDAT':
            data += body
        pos += 12 + length
    raw = zlib.decompress(data)
    stride = 1 + 4 * width
    rows = []
    for y in range(height):
        line = raw[y * stride:(y + 1) * stride]
        assert line[0] == 0, 'filtered scanline'
        rows.append([tuple(line[1 + 4 * x:5 + 4 * x]) for x in range(width)])
    return rows


def decode_dib(blob):
    (hsize, width, height2, _, depth, _, _, _, _, used, _) = struct.unpack_from('<IiiHHIIiiII', blob)
    height = height2 // 2
    colours = used or (1 << depth)
    palette = [struct.unpack_from('<BBBB', blob, hsize + 4 * i)[2::-1] for i in range(colours)]
    colour_stride = (width * depth + 31) // 32 * 4
    mask_stride = (width + 31) // 32 * 4
    colour_start = hsize + 4 * colours
    mask_start = colour_start + colour_stride * height
    rows = []
    for y in range(height):
        src = height - 1 - y
        colour_row = blob[colour_start + src * colour_stride:][:colour_stride]
        mask_row = blob[mask_start + src * mask_stride:][:mask_stride]
        row = []
        for x in range(width):
            bit = x * depth
            index = (colour_row[bit // 8] >> (8 - depth - bit % 8)) & ((1 << depth) - 1)
            hidden = (mask_row[x // 8] >> (7 - x % 8)) & 1
            row.append(palette[index] + ((0,) if hidden else (255,)))
        rows.append(row)
    return rows


class Canvas:
    def __init__(self, width, height, fill):
        self.width, self.height = width, height
        self.pixels = [[fill] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def rect(self, x, y, w, h, colour):
        for yy in range(y, y + h):
            for xx in range(x, x + w):
                self.put(xx, yy, colour)

    def image(self, x, y, rows, zoom, background):
        for iy, row in enumerate(rows):
            for ix, (r, g, b, a) in enumerate(row):
                for dy in range(zoom):
                    for dx in range(zoom):
                        px, py = x + ix * zoom + dx, y + iy * zoom + dy
                        self.put(px, py, (r, g, b) if a else background(px, py))

    def text(self, x, y, text, scale, colour):
        for n, ch in enumerate(text):
            glyph = FONT.get(ch, FONT[' '])
            for i, bit in enumerate(glyph):
                if bit == '1':
                    self.rect(x + (n * 4 + i % 3) * scale, y + (i // 3) * scale, scale, scale, colour)

    def png(self):
        raw = b''.join(b'\0' + bytes(c for px in row for c in px) for row in self.pixels)

        def chunk(kind, body):
            return (struct.pack('>I', len(body)) + kind + body
                    + struct.pack('>I', zlib.crc32(kind + body) & 0xffffffff))
        return (b'\x89PNG\r\n\x1a\n'
                + chunk(b'IHDR', struct.pack('>IIBBBBB', self.width, self.height, 8, 2, 0, 0, 0))
                + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def checker(x, y):
    return (204, 204, 204) if (x // 8 + y // 8) % 2 else (255, 255, 255)


def main(argv):
    icon_dir = argv[1] if len(argv) > 1 else os.path.join(ROOT, 'shell', 'res')
    out = argv[2] if len(argv) > 2 else os.path.join(ROOT, 'docs', 'icons.png')
    rows = [(rid, name, read_ico(os.path.join(icon_dir, file))) for rid, name, file in ICONS]

    label_width = 4 * LABEL_SCALE * len('137 IDI_CONNECTING_1') + MARGIN
    most_images = max(len(images) for _, _, images in rows)
    row_height = ZOOM_TARGET + MARGIN
    real_width = max(sum(len(image) + 8 for image in images) for _, _, images in rows)
    column_width = label_width + most_images * (ZOOM_TARGET + MARGIN) + 2 * (real_width + MARGIN) + MARGIN
    per_column = (len(rows) + COLUMNS - 1) // COLUMNS
    canvas = Canvas(MARGIN + COLUMNS * column_width, MARGIN + row_height * per_column, PAPER)

    for n, (rid, name, images) in enumerate(rows):
        left = MARGIN + (n // per_column) * column_width
        top = MARGIN + (n % per_column) * row_height
        canvas.text(left, top + ZOOM_TARGET // 2 - 8, '%d %s' % (rid, name), LABEL_SCALE, INK)
        x = left + label_width
        for rows_of_image in images:
            zoom = ZOOM_TARGET // len(rows_of_image)
            canvas.image(x, top, rows_of_image, zoom, checker)
            x += ZOOM_TARGET + MARGIN
        x = left + label_width + most_images * (ZOOM_TARGET + MARGIN)
        for background in (LIGHT, DARK):
            canvas.rect(x, top + ZOOM_TARGET // 2 - 20, real_width, 40, background)
            for image in images:
                canvas.image(x + 4, top + ZOOM_TARGET // 2 - len(image) // 2, image, 1,
                             lambda px, py, bg=background: bg)
                x += len(image) + 8
            x += real_width - sum(len(image) + 8 for image in images) + MARGIN

    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    with open(out, 'wb') as f:
        f.write(canvas.png())


if __name__ == '__main__':
    main(sys.argv)
