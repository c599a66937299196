#!/usr/bin/env python3
"""Points a 32-bit PE file's Load Config directory at the load configuration it carries.

Usage: pe_load_config.py set FILE    (after linking: fills in the directory, fixes the checksum)
       pe_load_config.py show FILE   (prints the directory and the structure's DependentLoadFlags)

The program defines its load configuration as the symbol _load_config_used
(runtime/SystemDllSearch.cpp), but the GNU linker of this toolchain does not point the
directory at it, and the executables are stripped. "set" therefore finds the structure by its
content, which is unique: Size 0x48, DependentLoadFlags LOAD_LIBRARY_SEARCH_SYSTEM32, all else
zero. It fails when there is not exactly one such structure or the directory already points
elsewhere. "show" exits 1 when the file has no Load Config directory.
"""
import struct
import sys

import pe_resources
from pe_resources import PeError

LOAD_CONFIG = 10
STRUCT_SIZE = 0x48
DEPENDENT_LOAD_FLAGS = 54
LOAD_LIBRARY_SEARCH_SYSTEM32 = 0x800
OURS = bytearray(STRUCT_SIZE)
struct.pack_into('<I', OURS, 0, STRUCT_SIZE)
struct.pack_into('<H', OURS, DEPENDENT_LOAD_FLAGS, LOAD_LIBRARY_SEARCH_SYSTEM32)


class Pe:
    """Where the fields this tool reads and writes are in the file."""

    def __init__(self, data):
        _, _, self.sections = pe_resources.read_sections(data)  # also checks the signatures
        self.optional = struct.unpack_from('<I', data, 0x3C)[0] + 24
        if struct.unpack_from('<H', data, self.optional)[0] != 0x10B:
            raise PeError('not a 32-bit image')
        self.checksum = self.optional + 64
        self.subsystem_version = struct.unpack_from('<HH', data, self.optional + 48)
        self.directory = self.optional + 96 + 8 * LOAD_CONFIG


def checksum(data, field):
    """The PE image checksum: 16-bit one's-complement sum of the file without the field, plus its length."""
    total = 0
    padded = bytes(data[:field]) + b'\0\0\0\0' + bytes(data[field + 4:]) + b'\0'
    for (word,) in struct.iter_unpack('<H', padded[:len(padded) & ~1]):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def set_directory(path):
    data = bytearray(open(path, 'rb').read())
    pe = Pe(data)
    found = []
    for _, address, _, raw_offset, raw_size in pe.sections:
        start = raw_offset
        while (start := data.find(OURS, start, raw_offset + raw_size)) >= 0:
            if (start - raw_offset) % 4 == 0:
                found.append(address + start - raw_offset)
            start += 1
    if len(found) != 1:
        raise PeError(f'{len(found)} load configurations found, expected one')
    rva = found[0]
    # Windows XP and older take an x86 load configuration only when the directory says 64 bytes.
    size = 64 if pe.subsystem_version <= (5, 1) else STRUCT_SIZE
    current = struct.unpack_from('<II', data, pe.directory)
    if current not in ((0, 0), (rva, size)):
        raise PeError(f'the Load Config directory already points at {current[0]:#x}')
    struct.pack_into('<II', data, pe.directory, rva, size)
    if struct.unpack_from('<I', data, pe.checksum)[0]:
        struct.pack_into('<I', data, pe.checksum, checksum(data, pe.checksum))
    open(path, 'wb').write(data)


def show(path):
    data = open(path, 'rb').read()
    pe = Pe(data)
    rva, size = struct.unpack_from('<II', data, pe.directory)
    if not rva:
        print('Load Config directory: none')
        return 1
    at = pe_resources.file_offset(pe.sections, rva)
    struct_size = struct.unpack_from('<I', data, at)[0]
    flags = struct.unpack_from('<H', data, at + DEPENDENT_LOAD_FLAGS)[0] if struct_size > DEPENDENT_LOAD_FLAGS else 0
    print(f'Load Config directory: RVA {rva:#x}, {size} bytes; structure Size {struct_size:#x}; '
          f'DependentLoadFlags {flags:#x}')
    return 0


def main(argv):
    if len(argv) != 3 or argv[1] not in ('set', 'show'):
        sys.stderr.write(__doc__)
        return 2
    try:
        if argv[1] == 'set':
            set_directory(argv[2])
            return 0
        return show(argv[2])
    except (OSError, PeError, struct.error) as error:
        sys.stderr.write(f'pe_load_config.py: {argv[2]}: {error}\n')
        return 1


if __name__ == '__main__':
    sys.exit(main(sys.argv))
