#!/usr/bin/env python3
"""Draws the installer's icons and status images into a folder.

Usage: make_artwork.py OUTPUT_FOLDER

Writes main.ico (16 and 32 px, 4-bit: a desktop computer with a software box), product.ico
(a yellow note sheet with a curled corner: 16 px 4-bit, 32 px 8-bit, 16 px 32-bit with alpha),
status_strip.bmp (eight 16x16 status pictures side by side, 24-bit) and status_mask.bmp (its
1-bit mask: black drawn, white transparent). The output depends on nothing but this file.
"""
import struct
import sys
from pathlib import Path

# The 16-colour palette every 4-bit image uses, and the letters the pixel art names it by.
VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
       (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
       (255, 0, 255), (0, 255, 255), (255, 255, 255)]
VGA_LETTERS = 'kmnovptlgrLybMcW'


class Canvas:
    """RGBA pixels, top row first; None is a transparent pixel."""

    def __init__(self, width, height):
        self.width, self.height = width, height
        self.pixels = [[None] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour if colour is None or len(colour) == 4 else (*colour, 255)

    def rect(self, x0, y0, x1, y1, fill=None, outline=None):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                edge = x in (x0, x1) or y in (y0, y1)
                colour = outline if edge and outline is not None else fill
                if colour is not None:
                    self.put(x, y, colour)

    def hline(self, x0, x1, y, colour):
        for x in range(x0, x1 + 1):
            self.put(x, y, colour)

    def paste_art(self, x0, y0, rows, palette):
        assert all(len(row) == len(rows[0]) for row in rows), rows
        for y, row in enumerate(rows):
            for x, letter in enumerate(row):
                if letter != '.':
                    self.put(x0 + x, y0 + y, palette[letter])


def art(rows, palette, size=16):
    assert len(rows) == size and all(len(row) == size for row in rows), rows
    canvas = Canvas(size, size)
    canvas.paste_art(0, 0, rows, palette)
    return canvas


VGA_PALETTE = dict(zip(VGA_LETTERS, VGA))

# --- Status strip ---------------------------------------------------------------------------------

# '.' is the white surroundings and 'G' the pure green behind the red cross; both are masked out.
STRIP_PALETTE = {
    '.': (255, 255, 255), 'G': (0, 255, 0),
    'k': (0, 0, 0), 'd': (72, 72, 72), 'g': (140, 140, 140), 'l': (200, 200, 200), 'W': (255, 255, 255),
    'r': (220, 32, 32), 'R': (150, 0, 0), 'n': (30, 170, 40), 'N': (0, 105, 20),
    's': (245, 200, 160), 'h': (110, 70, 30), 'b': (50, 100, 210), 'B': (20, 50, 140),
    'u': (60, 160, 90), 'U': (30, 100, 50), 'y': (230, 185, 70), 'o': (140, 90, 40),
    'c': (215, 235, 250), 'e': (250, 243, 220), 'E': (200, 180, 130),
}
SURROUNDINGS = '.G'

STATUS_PICTURES = [
    [  # 0: one person
        '................',
        '......hhhh......',
        '.....hhhhhh.....',
        '.....hsssshh....',
        '.....ssssss.....',
        '.....ssssss.....',
        '......ssss......',
        '.......ss.......',
        '....BbbbbbbB....',
        '...Bbbbbbbbbb...',
        '...bbbbbbbbbB...',
        '...bbbbbbbbbB...',
        '...bbbbbbbbbB...',
        '...BbbbbbbbBB...',
        '................',
        '................',
    ],
    [  # 1: two persons, one behind the other
        '................',
        '..hhhh..........',
        '.hhhhhh...hhhh..',
        '.hssssh..hhhhhh.',
        '.ssssss..hsssshh',
        '.ssssss..ssssss.',
        '..ssss...ssssss.',
        '...ss.....ssss..',
        'UuuuuuuU...ss...',
        'uuuuuuuBbbbbbbB.',
        'uuuuuuBbbbbbbbbb',
        'uuuuuubbbbbbbbbB',
        'uuuuuubbbbbbbbbB',
        'UuuuuubbbbbbbbbB',
        '......BbbbbbbbBB',
        '................',
    ],
    [  # 2: hourglass
        '................',
        '...oooooooooo...',
        '....gggggggg....',
        '....gyyyyyyg....',
        '....gyyyyyyg....',
        '.....gyyyyg.....',
        '......gyyg......',
        '.......gg.......',
        '.......gg.......',
        '......gcyg......',
        '.....gccycg.....',
        '....gccyyccg....',
        '....gyyyyyyg....',
        '....gggggggg....',
        '...oooooooooo...',
        '................',
    ],
    [  # 3: red disc with a white cross, on pure green
        'GGGGGGGGGGGGGGGG',
        'GGGGGRRRRRRGGGGG',
        'GGGRRrrrrrrRRGGG',
        'GGRrrrrrrrrrrRGG',
        'GGRrWWrrrrWWrRGG',
        'GRrrWWWrrWWWrrRG',
        'GRrrrWWWWWWrrrRG',
        'GRrrrrWWWWrrrrRG',
        'GRrrrrWWWWrrrrRG',
        'GRrrrWWWWWWrrrRG',
        'GRrrWWWrrWWWrrRG',
        'GGRrWWrrrrWWrRGG',
        'GGRrrrrrrrrrrRGG',
        'GGGRRrrrrrrRRGGG',
        'GGGGGRRRRRRGGGGG',
        'GGGGGGGGGGGGGGGG',
    ],
    [  # 4: green tick
        '................',
        '................',
        '..............N.',
        '.............nN.',
        '............nnN.',
        '...........nnN..',
        '..........nnN...',
        '.nN......nnN....',
        '.nnN....nnN.....',
        '.nnnN..nnN......',
        '..nnnNnnN.......',
        '...nnnnN........',
        '....nnN.........',
        '.....N..........',
        '................',
        '................',
    ],
    [  # 5: envelope
        '................',
        '................',
        '................',
        '.EEEEEEEEEEEEEE.',
        '.EEeeeeeeeeeeEE.',
        '.EeEeeeeeeeeEeE.',
        '.EeeEeeeeeeEeeE.',
        '.EeeeEeeeeEeeeE.',
        '.EeeeeEeeEeeeeE.',
        '.EeeeeeEEeeeeeE.',
        '.EeeeeeeeeeeeeE.',
        '.EeeeeeeeeeeeeE.',
        '.EeeeeeeeeeeeeE.',
        '.EEEEEEEEEEEEEE.',
        '................',
        '................',
    ],
    [  # 6: ticked check box
        '................',
        '................',
        '..dddddddddddd..',
        '..dWWWWWWWWWWd..',
        '..dWWWWWWWWNWd..',
        '..dWWWWWWWNNWd..',
        '..dWWWWWWNNWWd..',
        '..dWNWWWNNWWWd..',
        '..dWNNWNNWWWWd..',
        '..dWWNNNWWWWWd..',
        '..dWWWNWWWWWWd..',
        '..dWWWWWWWWWWd..',
        '..dWWWWWWWWWWd..',
        '..dddddddddddd..',
        '................',
        '................',
    ],
    [  # 7: scissors
        '................',
        '...g.......g....',
        '...lg.....gl....',
        '....lg...gl.....',
        '....lg...gl.....',
        '.....lg.gl......',
        '.....lggl.......',
        '......dd........',
        '.....rddr.......',
        '....rr..rr......',
        '...rrr...rrr....',
        '..r..r...r..r...',
        '..r..r...r..r...',
        '..r..r...r..r...',
        '...rr.....rr....',
        '................',
    ],
]


def status_strip():
    strip = Canvas(128, 16)
    surround = Canvas(128, 16)
    for index, rows in enumerate(STATUS_PICTURES):
        assert len(rows) == 16 and all(len(row) == 16 for row in rows), index
        for y, row in enumerate(rows):
            for x, letter in enumerate(row):
                strip.put(16 * index + x, y, STRIP_PALETTE[letter])
                if letter in SURROUNDINGS:
                    surround.put(16 * index + x, y, (0, 0, 0))
    return strip, surround


# --- Icon pictures --------------------------------------------------------------------------------

COMPUTER_16 = [
    '................',
    '................',
    'kkkkkkkkk.......',
    'klllllllk.......',
    'kltttttlk...kkkk',
    'kltWWttlk..kyyyk',
    'kltvvttlk.kkkkkk',
    'klttttLlk.krrrkm',
    'klllllllk.kWWrkm',
    'kkkkkkkkk.kWWrkm',
    '....g.....krrrkm',
    'kkkkkkkkk.kyyykm',
    'klllllgLk.krrrkm',
    'klllllllk.krrrkm',
    'kkkkkkkkk.kkkkkm',
    '................',
]


def software_box(canvas, fx0, fy0, fx1, fy1, depth):
    """A carton seen from the front left: red front, yellow top, dark side, black edges."""
    black, red, yellow, maroon, white = (VGA_PALETTE[c] for c in 'krymW')
    for i in range(1, depth + 1):
        canvas.hline(fx0 + i, fx1 + i, fy0 - i, yellow)
        for y in range(fy0 - i, fy1 - i + 1):
            canvas.put(fx1 + i, y, maroon)
        canvas.put(fx0 + i, fy0 - i, black)
        canvas.put(fx1 + i, fy1 - i, black)
    canvas.hline(fx0 + depth, fx1 + depth, fy0 - depth, black)
    for y in range(fy0 - depth, fy1 - depth + 1):
        canvas.put(fx1 + depth, y, black)
    for i in range(depth):
        canvas.put(fx1 + i + 1, fy0 - i - 1, black)
    canvas.rect(fx0, fy0, fx1, fy1, red, black)
    canvas.rect(fx0 + 1, fy0 + 8, fx1 - 1, fy0 + 10, yellow)
    canvas.rect(fx0 + 2, fy0 + 2, fx1 - 2, fy0 + 6, white, black)
    canvas.rect(fx0 + 3, fy0 + 3, fx1 - 3, fy0 + 5, VGA_PALETTE['c'])


def computer_32():
    canvas = Canvas(32, 32)
    c = VGA_PALETTE
    canvas.rect(0, 3, 19, 19, c['l'], c['k'])
    canvas.rect(1, 4, 18, 18, c['l'], c['W'])
    canvas.rect(18, 5, 18, 18, c['g'])
    canvas.rect(2, 18, 18, 18, c['g'])
    canvas.rect(3, 6, 16, 15, c['t'], c['k'])
    canvas.rect(5, 8, 11, 13, c['W'], c['k'])
    canvas.hline(6, 10, 9, c['v'])
    canvas.rect(13, 10, 15, 14, c['y'])
    canvas.put(16, 17, c['L'])
    canvas.rect(8, 20, 11, 21, c['g'], c['k'])
    canvas.rect(0, 22, 19, 28, c['l'], c['k'])
    canvas.hline(1, 18, 23, c['W'])
    canvas.rect(3, 25, 9, 26, c['k'])
    canvas.hline(4, 8, 25, c['g'])
    canvas.put(16, 25, c['L'])
    canvas.hline(1, 18, 27, c['g'])
    software_box(canvas, 21, 13, 28, 29, 3)
    return canvas


def note(size, rich, shadow=False):
    """The product picture: a yellow note sheet whose bottom right corner curls over.

    rich picks smooth shading for the 8-bit and 32-bit images; otherwise only the 16-colour
    palette is used. shadow adds a soft drop shadow and smooths the fold line (only for images with an alpha
    channel).
    """
    if size == 16:
        x0, y0, x1, y1, curl, lines = 2, 1, 13, 14, 5, [5, 7, 9, 11]
    else:
        x0, y0, x1, y1, curl, lines = 4, 2, 27, 29, 9, [10, 14, 18, 22, 26]
    canvas = Canvas(size, size)
    outline = (150, 110, 20) if rich else VGA_PALETTE['k']
    ruling = (200, 160, 60) if rich else VGA_PALETTE['g']
    flap_edge = (170, 130, 40) if rich else VGA_PALETTE['k']

    def sheet_fill(y):
        if not rich:
            return VGA_PALETTE['y']
        t = (y - y0) / (y1 - y0)
        return (255, round(248 - 30 * t), round(165 - 85 * t))

    def in_cut(x, y):
        return (x - (x1 - curl)) + (y - (y1 - curl)) > curl

    if shadow:
        for y in range(y0 + 1, y1 + 2):
            for x in range(x0 + 1, x1 + 2):
                if not in_cut(x - 1, y - 1) or not in_cut(x, y):
                    canvas.put(x, y, (0, 0, 0, 70))
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            if in_cut(x, y):
                continue
            edge = x in (x0, x1) or y in (y0, y1)
            canvas.put(x, y, outline if edge else sheet_fill(y))
    if rich:
        canvas.rect(x0 + 1, y0 + 1, x1 - 1, y0 + (2 if size == 16 else 4), (250, 205, 60))
    for y in lines:
        end = x1 - 2 - (size // 8 if y >= y1 - curl else 0)
        canvas.hline(x0 + 2, min(end, x1 - 2 - max(0, y - (y1 - curl))), y, ruling)
    # The curl: the corner folded back over the sheet, its underside lit towards the fold line.
    for y in range(y1 - curl, y1 + 1):
        for x in range(x1 - curl, x1 + 1):
            d = (x - (x1 - curl)) + (y - (y1 - curl))
            if d > curl:
                if shadow and d == curl + 1:
                    canvas.put(x, y, (*outline, 110))
                continue
            if d == curl or x == x1 - curl or y == y1 - curl:
                canvas.put(x, y, flap_edge)
            elif rich:
                t = d / curl
                canvas.put(x, y, (round(225 + 30 * t), round(185 + 60 * t), round(70 + 140 * t)))
            else:
                canvas.put(x, y, VGA_PALETTE['W'] if d == curl - 1 else VGA_PALETTE['o'])
    return canvas


# --- File formats ---------------------------------------------------------------------------------

def row_bytes(width, bpp):
    return ((width * bpp + 31) // 32) * 4


def info_header(width, height, bpp, image_size, ppm=0, colours=0):
    return struct.pack('<IiiHHIIiiII', 40, width, height, 1, bpp, 0, image_size, ppm, ppm, colours, 0)


def pack_rows(width, height, bpp, value_at):
    """Bottom row first, rows padded to 4 bytes; value_at(x, y) gives a pixel's bits or bytes."""
    data = bytearray()
    for y in reversed(range(height)):
        if bpp >= 8:
            row = b''.join(value_at(x, y) for x in range(width))
        else:
            bits, row = 0, bytearray()
            per_byte = 8 // bpp
            for x in range(width):
                bits = (bits << bpp) | value_at(x, y)
                if x % per_byte == per_byte - 1:
                    row.append(bits)
                    bits = 0
            row = bytes(row)
        data += row + bytes(row_bytes(width, bpp) - len(row))
    return bytes(data)


def palette_bytes(colours, entries):
    return b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in colours) + bytes(4 * (entries - len(colours)))


def icon_image(canvas, bpp):
    size = canvas.width
    pixel = canvas.pixels
    and_mask = pack_rows(size, size, 1, lambda x, y: 1 if pixel[y][x] is None or pixel[y][x][3] == 0 else 0)
    if bpp == 32:
        palette = b''

        def bgra(x, y):
            r, g, b, a = pixel[y][x] or (0, 0, 0, 0)
            return bytes([b, g, r, a])

        xor = pack_rows(size, size, 32, bgra)
    else:
        if bpp == 4:
            colours = VGA
        else:
            colours = [(0, 0, 0)] + sorted({p[:3] for row in pixel for p in row if p is not None} - {(0, 0, 0)})
            assert len(colours) <= 256
        index = {c: i for i, c in enumerate(colours)}
        palette = palette_bytes(colours, 1 << bpp)

        def colour_index(x, y):
            value = 0 if pixel[y][x] is None else index[pixel[y][x][:3]]
            return bytes([value]) if bpp == 8 else value

        xor = pack_rows(size, size, bpp, colour_index)
    for row in pixel:
        for p in row:
            assert p is None or p[3] in (0, 255) or bpp == 32, 'partial alpha needs a 32-bit image'
    return info_header(size, 2 * size, bpp, len(xor) + len(and_mask)) + palette + xor + and_mask


def ico_file(images):
    head = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, data = b'', b''
    for canvas, bpp in images:
        blob = icon_image(canvas, bpp)
        size = canvas.width
        entries += struct.pack('<BBBBHHII', size, size, 16 if bpp == 4 else 0, 0, 1, bpp, len(blob),
                               offset + len(data))
        data += blob
    return head + entries + data


def bmp_file(info, palette, pixels):
    offset = 14 + len(info) + len(palette)
    return struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0, offset) + info + palette + pixels


def strip_files(strip, surround):
    def colour(x, y):
        r, g, b, _ = strip.pixels[y][x]
        return bytes([b, g, r])

    colour_pixels = pack_rows(128, 16, 24, colour)
    mask_pixels = pack_rows(128, 16, 1, lambda x, y: 1 if surround.pixels[y][x] is not None else 0)
    colour_bmp = bmp_file(info_header(128, 16, 24, len(colour_pixels), 2833), b'', colour_pixels)
    mask_bmp = bmp_file(info_header(128, 16, 1, len(mask_pixels), 2834, 2),
                        palette_bytes([(0, 0, 0), (255, 255, 255)], 2), mask_pixels)
    return colour_bmp, mask_bmp


def main(argv):
    if len(argv) != 1:
        print('usage: make_artwork.py OUTPUT_FOLDER', file=sys.stderr)
        return 2
    out = Path(argv[0])
    out.mkdir(parents=True, exist_ok=True)
    colour_bmp, mask_bmp = strip_files(*status_strip())
    (out / 'status_strip.bmp').write_bytes(colour_bmp)
    (out / 'status_mask.bmp').write_bytes(mask_bmp)
    (out / 'main.ico').write_bytes(ico_file([(art(COMPUTER_16, VGA_PALETTE), 4), (computer_32(), 4)]))
    (out / 'product.ico').write_bytes(ico_file([(note(16, rich=False), 4), (note(32, rich=True), 8),
                                                (note(16, rich=True, shadow=True), 32)]))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
