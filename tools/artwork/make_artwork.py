#!/usr/bin/env python3
"""Writes the installer's bitmaps and icons into a folder (placeholder pictures)."""
import struct
import sys
from pathlib import Path


def bmp_info(width, height, bpp, ppm, colours=0):
    row = ((width * bpp + 31) // 32) * 4
    return struct.pack('<IiiHHIIiiII', 40, width, height, 1, bpp, 0, row * height, ppm, ppm, colours, 0)


def bmp_file(info, palette, pixels):
    off = 14 + len(info) + len(palette)
    return struct.pack('<2sIHHI', b'BM', off + len(pixels), 0, 0, off) + info + palette + pixels


def strip(out):
    w, h = 128, 16
    rows = b''.join(bytes([255, 255, 255] * w) for _ in range(h))
    (out / 'status_strip.bmp').write_bytes(bmp_file(bmp_info(w, h, 24, 2833), b'', rows))
    mask = bytes([0xFF, 0xFF] * 8) * h
    (out / 'status_mask.bmp').write_bytes(bmp_file(bmp_info(w, h, 1, 2834, 2), b'\0\0\0\0\xff\xff\xff\0', mask))


def icon_image(size, bpp):
    palette = b''
    if bpp <= 8:
        palette = b'\0\0\0\0' + b'\xff\xff\xff\0' * ((1 << bpp) - 1)
    xor = bytes(((size * bpp + 31) // 32) * 4 * size)
    and_mask = bytes(((size + 31) // 32) * 4 * size)
    info = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bpp, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    return info + palette + xor + and_mask


def ico(images):
    head = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    dirs, data = b'', b''
    for size, bpp, blob in images:
        dirs += struct.pack('<BBBBHHII', size, size, 16 if bpp == 4 else 0, 0, 1, bpp, len(blob), offset + len(data))
        data += blob
    return head + dirs + data


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    strip(out)
    (out / 'main.ico').write_bytes(ico([(16, 4, icon_image(16, 4)), (32, 4, icon_image(32, 4))]))
    (out / 'product.ico').write_bytes(
        ico([(16, 4, icon_image(16, 4)), (32, 8, icon_image(32, 8)), (16, 32, icon_image(16, 32))]))


if __name__ == '__main__':
    main()
