#!/usr/bin/env python3
"""Checks that an executable starting in its own entry point needs none of the C run-time's start-up.

Usage: check_startup.py FILE MAP    (MAP: the linker's map of FILE, -Wl,-Map=MAP)

runtime/AppMain.cpp runs global constructors and atexit() alone; the run-time's start-up object,
left out of the link, would also have set up native thread-local storage, run the C initialiser
lists .CRT$XI* and .CRT$XC*, and applied pseudo-relocations. Fails (exit 1, one line per finding)
when FILE has a TLS directory, when either initialiser list holds an entry, when pseudo-relocations
are present, or when the load configuration with DependentLoadFlags LOAD_LIBRARY_SEARCH_SYSTEM32
is missing.
"""
import re
import struct
import sys

import pe_load_config
from pe_resources import file_offset

TLS_DIRECTORY = 9
SYMBOL = re.compile(r'^\s+0x([0-9a-f]+)\s+([A-Za-z_][\w$]*)(\s*=.*)?$')


def symbols(map_path):
    with open(map_path) as lines:
        return {m.group(2): int(m.group(1), 16) for m in map(SYMBOL.match, lines) if m}


def list_bytes(found, start, end, first, last):
    """Bytes of entries in a list: between the run-time's own bounds when linked, else the section's."""
    if first in found and last in found:
        return found[last] - found[first] - 4
    return found[end] - found[start]


def findings(exe_path, map_path):
    data = open(exe_path, 'rb').read()
    pe = pe_load_config.Pe(data)
    found = symbols(map_path)
    if struct.unpack_from('<II', data, pe.optional + 96 + 8 * TLS_DIRECTORY) != (0, 0):
        yield 'has a TLS directory'
    for kind in ('xi', 'xc'):
        size = list_bytes(found, f'___crt_{kind}_start__', f'___crt_{kind}_end__', f'__{kind}_a', f'__{kind}_z')
        if size:
            yield f'has {size} bytes in the C initialiser list .CRT$X{kind[1].upper()}*'
    if found['__rt_psrelocs_end'] != found['__rt_psrelocs_start']:
        yield 'has pseudo-relocations'
    rva, _ = struct.unpack_from('<II', data, pe.directory)
    size, flags = struct.unpack_from('<I50xH', data, file_offset(pe.sections, rva)) if rva else (0, 0)
    if size <= pe_load_config.DEPENDENT_LOAD_FLAGS or flags != pe_load_config.LOAD_LIBRARY_SEARCH_SYSTEM32:
        yield 'lacks the load configuration with DependentLoadFlags LOAD_LIBRARY_SEARCH_SYSTEM32'


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    problems = list(findings(argv[1], argv[2]))
    for problem in problems:
        print(f'{argv[1]}: {problem}')
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
