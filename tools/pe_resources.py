#!/usr/bin/env python3
"""Lists the resources of a Windows PE file: one line per resource, "TYPE NAME LANGUAGE SIZE FILE-OFFSET".

Usage: pe_resources.py FILE [TYPE NAME]

With TYPE and NAME (a number or a string, e.g. BINARY 134) prints only the data size in bytes of
that resource, summed over its languages, and exits 1 when the file has no such resource.
Also used by tools/check-reproducible.sh to say which resource two builds disagree on.
"""
import struct
import sys

RESOURCE_DIRECTORY = 2


class PeError(Exception):
    pass


def read_sections(data):
    if data[:2] != b'MZ':
        raise PeError('not an MZ executable')
    pe = struct.unpack_from('<I', data, 0x3C)[0]
    if data[pe:pe + 4] != b'PE\0\0':
        raise PeError('no PE signature')
    sections, optional_size = struct.unpack_from('<H12xH', data, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from('<H', data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    rva, size = struct.unpack_from('<II', data, directories + 8 * RESOURCE_DIRECTORY)
    table = optional + optional_size
    result = []
    for i in range(sections):
        name, virtual_size, virtual_address, raw_size, raw_offset = struct.unpack_from('<8sIIII', data, table + 40 * i)
        result.append((name.rstrip(b'\0').decode('ascii', 'replace'), virtual_address, max(virtual_size, raw_size),
                       raw_offset, raw_size))
    return rva, size, result


def file_offset(sections, rva):
    for _, address, size, raw_offset, _ in sections:
        if address <= rva < address + size:
            return raw_offset + rva - address
    raise PeError(f'RVA {rva:#x} is in no section')


def resources(data):
    """Yields (type, name, language, size, file offset); names are ints or strings."""
    rva, size, sections = read_sections(data)
    if not rva or not size:
        return
    base = file_offset(sections, rva)

    def label(entry_name):
        if entry_name & 0x80000000:
            offset = base + (entry_name & 0x7FFFFFFF)
            length = struct.unpack_from('<H', data, offset)[0]
            return data[offset + 2:offset + 2 + 2 * length].decode('utf-16-le')
        return entry_name

    def entries(directory):
        named, numbered = struct.unpack_from('<12xHH', data, base + directory)
        for i in range(named + numbered):
            name, target = struct.unpack_from('<II', data, base + directory + 16 + 8 * i)
            yield label(name), target

    for type_name, type_target in entries(0):
        for name, name_target in entries(type_target & 0x7FFFFFFF):
            for language, data_entry in entries(name_target & 0x7FFFFFFF):
                data_rva, data_size = struct.unpack_from('<II', data, base + data_entry)
                yield type_name, name, language, data_size, file_offset(sections, data_rva)


def parse_name(text):
    return int(text) if text.isdigit() else text.upper()


def main(argv):
    if len(argv) not in (1, 3):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    with open(argv[0], 'rb') as f:
        data = f.read()
    try:
        found = list(resources(data))
    except (PeError, struct.error) as error:
        print(f'pe_resources: {argv[0]}: {error}', file=sys.stderr)
        return 2
    if len(argv) == 3:
        wanted_type, wanted_name = parse_name(argv[1]), parse_name(argv[2])
        sizes = [size for kind, name, _, size, _ in found if kind == wanted_type and name == wanted_name]
        if not sizes:
            print(f'pe_resources: {argv[0]} has no resource {argv[1]} {argv[2]}', file=sys.stderr)
            return 1
        print(sum(sizes))
        return 0
    for kind, name, language, size, offset in found:
        print(kind, name, language, size, offset)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
