#!/usr/bin/env python3
"""Draws the agent's icons and writes them as .ico files (standard library only).

Every 16x16 picture is an olive square with transparent corner pixels, a
one-pixel dark olive border and a white emblem letter or a symbol; images are
8-bit palette bitmaps, whose palette holds only the colours used, with a 1-bit
mask. The About icon is a 32x32 16-colour
image that is entirely transparent, so its menu square stays empty.

For scaled displays every icon also has 20, 24 and 32 pixel frames (for 125,
150 and 200 %): the square is drawn at that size, its one-pixel border and
shading included, and the 16-pixel emblem is scaled onto it pixel for pixel
(the large online letter has its own 32-pixel drawing). They are stored as PNG
images, which keeps the executable small.

    python3 tools/gen_icons.py [OUTPUT_DIR]      (default: shell/res)

The output is deterministic; the committed files are what the build uses.
"""
import os
import struct
import sys
import zlib

BORDER = (96, 109, 51)
OLIVE = (120, 136, 63)
OLIVE_LIGHT = (147, 167, 78)
GREY_BORDER = (95, 95, 95)
GREY_TOP = (150, 150, 150)
GREY_BOTTOM = (184, 184, 184)
MESSAGE_FILL = (50, 58, 26)
WHITE = (255, 255, 255)
BLACK = (0, 0, 0)


def parse_art(art):
    """Rows of a square picture drawn as text, one character per pixel."""
    rows = art.strip('\n').split('\n')
    assert len(set(len(r) for r in rows)) == 1 and len(rows) == len(rows[0]), 'art must be square'
    return rows


# Overlay colours; '.' keeps what is underneath.
INK = {
    'W': WHITE,
    'w': (232, 232, 232),    # the greyed letter
    'K': BLACK,
    'R': (214, 32, 32),      # cross and arrow
    'r': (140, 18, 18),      # their shaded edge
    'F': (70, 44, 20),       # door frame
    'L': (201, 150, 88),     # door leaf
    'l': (160, 110, 56),     # door leaf, shaded edge
    'D': (24, 24, 16),       # the dark doorway
    'm': MESSAGE_FILL,       # envelope flap lines
}

LETTER_16 = parse_art("""
................
................
................
....##....##....
....##...##.....
....##..##......
....##.##.......
....####........
....####........
....##.##.......
....##..##......
....##...##.....
....##....##....
................
................
................
""")

LETTER_32 = parse_art("""
................................
................................
................................
................................
................................
................................
.........####.........####......
.........####........####.......
.........####.......####........
.........####......####.........
.........####.....####..........
.........####....####...........
.........####...####............
.........####..####.............
.........####.####..............
.........#########..............
.........########...............
.........########...............
.........#########..............
.........####.####..............
.........####..####.............
.........####...####............
.........####....####...........
.........####.....####..........
.........####......####.........
.........####.......####........
.........####........####.......
.........####.........####......
................................
................................
................................
................................
""")

CLOCK = parse_art("""
................
................
................
................
................
................
................
.........KKKKK..
........KWWKWWK.
.......KWWWKWWWK
.......KWWWKWWWK
.......KWWWKKKWK
.......KWWWWWWWK
.......KWWWWWWWK
........KWWWWWK.
.........KKKKK..
""")

CROSS = parse_art("""
................
................
..rr........rr..
..rRr......rRr..
...rRr....rRr...
....rRr..rRr....
.....rRrrRr.....
......rRRr......
......rRRr......
.....rRrrRr.....
....rRr..rRr....
...rRr....rRr...
..rRr......rRr..
..rr........rr..
................
................
""")

DOOR = parse_art("""
................
................
.......FFFFFFF..
.......FlLDDDF..
.......FlLLDDF..
...r...FlLLDDF..
..rR...FlLLDDF..
.rRRRRRRlLLDDF..
.rRRRRRRlLLDDF..
..rR...FlLLDDF..
...r...FlLLDDF..
.......FlLLDDF..
.......FlLLDDF..
.......FlLDDDF..
.......FFFFFFF..
................
""")

ENVELOPE = parse_art("""
................
................
................
..WWWWWWWWWWWW..
..WmWWWWWWWWmW..
..WWmWWWWWWmWW..
..WWWmWWWWmWWW..
..WWWWmWWmWWWW..
..WWWWWmmWWWWW..
..WWWWWWWWWWWW..
..WWWWWWWWWWWW..
..WWWWWWWWWWWW..
..WWWWWWWWWWWW..
................
................
................
""")


def rotate_quarter(rows):
    """The picture turned a quarter turn clockwise."""
    size = len(rows)
    return [''.join(rows[size - 1 - x][y] for x in range(size)) for y in range(size)]


def rotate(rows, quarters):
    for _ in range(quarters % 4):
        rows = rotate_quarter(rows)
    return rows


def blend(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


def square(size, border, top, bottom):
    """Emblem square: corners transparent (None), border, fill shading top to bottom."""
    pixels = []
    for y in range(size):
        shade = blend(top, bottom, (y - 1) / (size - 3)) if 0 < y < size - 1 else border
        row = []
        for x in range(size):
            corner = x in (0, size - 1) and y in (0, size - 1)
            edge = x in (0, size - 1) or y in (0, size - 1)
            row.append(None if corner else border if edge else shade)
        pixels.append(row)
    return pixels


def paint(pixels, art, ink):
    """Overlays art (rows of characters) in the colours `ink` gives them."""
    for y, line in enumerate(art):
        for x, ch in enumerate(line):
            if ch != '.':
                pixels[y][x] = ink[ch]
    return pixels


def olive_square(size=16):
    return square(size, BORDER, OLIVE, OLIVE_LIGHT)


def flat_olive_square(size=16):
    return square(size, BORDER, OLIVE, OLIVE)


# ---------------------------------------------------------------- .ico writing

def palette_of(images, depth):
    colours = [BLACK]
    for pixels in images:
        for row in pixels:
            for c in row:
                if c is not None and c not in colours:
                    colours.append(c)
    if len(colours) > 1 << depth:
        raise ValueError('too many colours for %d bits' % depth)
    if depth == 8:
        return colours  # only the colours used (biClrUsed): a full table is 1 KiB
    return colours + [BLACK] * ((1 << depth) - len(colours))


def row_bytes(bits_per_row):
    return (bits_per_row + 31) // 32 * 4


def dib(pixels, depth, palette):
    """BITMAPINFOHEADER, palette, colour bits and mask, rows bottom-up."""
    size = len(pixels)
    index = {c: i for i, c in reversed(list(enumerate(palette)))}
    colour_rows, mask_rows = [], []
    for row in reversed(pixels):
        indices = [0 if c is None else index[c] for c in row]
        bits = 0
        for i in indices:
            bits = (bits << depth) | i
        colour = bits.to_bytes(size * depth // 8, 'big')
        colour_rows.append(colour.ljust(row_bytes(size * depth), b'\0'))
        mask = 0
        for c in row:
            mask = (mask << 1) | (c is None)
        mask <<= -size % 8  # a row that is not whole bytes ends in padding bits
        mask_rows.append(mask.to_bytes((size + 7) // 8, 'big').ljust(row_bytes(size), b'\0'))
    used = len(palette) if len(palette) < 1 << depth else 0
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, depth, 0,
                         0, 0, 0, used, 0)
    table = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in palette)
    return header + table + b''.join(colour_rows) + b''.join(mask_rows)


def ico(images):
    """images: list of (pixels, depth); depth 32 is a PNG image, the others
    palette bitmaps with one palette each."""
    blobs = [png(p) if d == 32 else dib(p, d, palette_of([p], d)) for p, d in images]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (pixels, depth), blob in zip(images, blobs):
        size = len(pixels)
        colours = 0 if depth >= 8 else 1 << depth
        out += struct.pack('<BBBBHHII', size % 256, size % 256, colours, 0, 1, depth,
                           len(blob), offset)
        offset += len(blob)
    return out + b''.join(blobs)


def transparent(size):
    return [[None] * size for _ in range(size)]


# ---------------------------------------------------------------- scaled frames

SCALED_SIZES = (20, 24, 32)


def scaled(art, size):
    """The 16-pixel art at `size` pixels, nearest pixel first: no blending."""
    source = len(art)
    return [''.join(art[y * source // size][x * source // size] for x in range(size))
            for y in range(size)]


def png(pixels):
    """RGBA PNG, one unfiltered scanline per row; transparent where None."""
    size = len(pixels)
    raw = b''.join(b'\0' + b''.join(bytes(c) + b'\xff' if c else b'\0\0\0\0' for c in row)
                   for row in pixels)

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff))
    header = struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) + chunk(b'IDAT', zlib.compress(raw, 9)) +
            chunk(b'IEND', b''))


def icons():
    """File name -> list of (pixels, bits per pixel)."""
    def emblem(size, base, quarters=0, colour=WHITE):
        return paint(base, scaled(rotate(LETTER_16, quarters), size), {'#': colour})

    def olive(size):
        return square(size, BORDER, OLIVE, OLIVE_LIGHT)

    def flat(size):
        return square(size, BORDER, OLIVE, OLIVE)

    def grey(size):
        return square(size, GREY_BORDER, GREY_TOP, GREY_BOTTOM)

    def message(size):
        return square(size, BORDER, MESSAGE_FILL, MESSAGE_FILL)

    # Each picture as a function of its size.
    pictures = {
        'away.ico': lambda n: paint(emblem(n, olive(n)), scaled(CLOCK, n), INK),
        'offline.ico': lambda n: emblem(n, grey(n), colour=INK['w']),
        'close.ico': lambda n: paint(olive(n), scaled(CROSS, n), INK),
        'sign_in_out.ico': lambda n: paint(olive(n), scaled(DOOR, n), INK),
        'new_message.ico': lambda n: paint(message(n), scaled(ENVELOPE, n), INK),
        'connecting_1.ico': lambda n: emblem(n, flat(n), 1),
        'connecting_2.ico': lambda n: emblem(n, flat(n), 2),
        'connecting_3.ico': lambda n: emblem(n, flat(n), 3),
        'connecting_4.ico': lambda n: emblem(n, flat(n), 0),
    }
    result = {name: [(draw(16), 8)] + [(draw(n), 32) for n in SCALED_SIZES]
              for name, draw in pictures.items()}
    result['online.ico'] = ([(emblem(16, olive(16)), 8),
                             (paint(olive(32), LETTER_32, {'#': WHITE}), 8)] +
                            [(emblem(n, olive(n)), 32) for n in (20, 24)])
    # Palette bitmaps, whose mask keeps them empty where an alpha channel may be dropped.
    result['about.ico'] = [(transparent(32), 4), (transparent(20), 4), (transparent(24), 4)]
    return result


def main(argv):
    out_dir = argv[1] if len(argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), '..', 'shell', 'res')
    os.makedirs(out_dir, exist_ok=True)
    for name, images in icons().items():
        with open(os.path.join(out_dir, name), 'wb') as f:
            f.write(ico(images))


if __name__ == '__main__':
    main(sys.argv)
