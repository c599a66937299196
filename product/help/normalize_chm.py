#!/usr/bin/env python3
"""Makes chmcmd's output reproducible: clears its two run-dependent stamps in place.

Usage: normalize_chm.py FILE.chm

chmcmd writes the compiler's tick count twice: into the ITSF header (offset 0x10) and into the
#SYSTEM file (record code 10). Nothing reads either when the help is shown; with both cleared,
the same sources compile to the same bytes.
"""
import struct
import sys

ITSF_STAMP_OFFSET = 0x10
SYSTEM_STAMP_CODE = 10


def encint(data, pos):
    """A CHM directory ENCINT: 7 bits a byte, most significant first, high bit set on all but the last."""
    value = 0
    while True:
        byte = data[pos]
        pos += 1
        value = (value << 7) | (byte & 0x7F)
        if byte < 0x80:
            return value, pos


def directory_entries(data):
    """(name, section, offset, length) of every entry in the listing chunks (PMGL)."""
    if data[:4] != b'ITSF' or struct.unpack_from('<I', data, 4)[0] != 3:
        raise ValueError('not a version 3 ITSF (CHM) file')
    directory = struct.unpack_from('<Q', data, 0x48)[0]
    if data[directory:directory + 4] != b'ITSP':
        raise ValueError('directory header not found')
    header_length, = struct.unpack_from('<I', data, directory + 8)
    chunk_size, = struct.unpack_from('<I', data, directory + 0x10)
    chunk_count, = struct.unpack_from('<I', data, directory + 0x2C)
    for chunk in range(chunk_count):
        start = directory + header_length + chunk * chunk_size
        if data[start:start + 4] != b'PMGL':
            continue
        free_space, = struct.unpack_from('<I', data, start + 4)
        pos, end = start + 0x14, start + chunk_size - free_space
        while pos < end:
            name_length, pos = encint(data, pos)
            name = bytes(data[pos:pos + name_length]).decode('utf-8')
            pos += name_length
            section, pos = encint(data, pos)
            offset, pos = encint(data, pos)
            length, pos = encint(data, pos)
            yield name, section, offset, length


def normalize(data):
    struct.pack_into('<I', data, ITSF_STAMP_OFFSET, 0)
    content = struct.unpack_from('<Q', data, 0x58)[0]
    for name, section, offset, length in directory_entries(data):
        if name != '/#SYSTEM':
            continue
        if section != 0:
            raise ValueError('#SYSTEM is expected in the uncompressed section')
        pos, end = content + offset + 4, content + offset + length
        while pos + 4 <= end:
            code, size = struct.unpack_from('<HH', data, pos)
            if code == SYSTEM_STAMP_CODE and size == 4:
                struct.pack_into('<I', data, pos + 4, 0)
            pos += 4 + size
        return
    raise ValueError('#SYSTEM not found')


def main(argv):
    if len(argv) != 1:
        print('usage: normalize_chm.py FILE.chm', file=sys.stderr)
        return 2
    with open(argv[0], 'rb') as f:
        data = bytearray(f.read())
    try:
        normalize(data)
    except (ValueError, IndexError, struct.error) as error:
        print(f'normalize_chm: {argv[0]}: {error}', file=sys.stderr)
        return 1
    with open(argv[0], 'wb') as f:
        f.write(data)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
