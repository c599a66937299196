#!/usr/bin/env python3
"""Checks what runs in an executable before its wWinMain restricts the DLL search.

Usage: check_startup.py FILE MAP TOOLCHAIN_DIR...
       (MAP: the linker's map of FILE, -Wl,-Map=MAP; TOOLCHAIN_DIR: the compiler driver's own
       library folders, CMake's CMAKE_CXX_IMPLICIT_LINK_DIRECTORIES)

The C run-time's start-up runs before wWinMain: the thread-local storage callbacks (.CRT$XL*),
with the thread-local data they set up (.tls*), and the C and C++ initialiser lists (.CRT$XI*,
.CRT$XC*), as well as the other .CRT$ lists. Only the toolchain's own files may put anything there.
Fails (exit 1, one line per finding) when a file outside TOOLCHAIN_DIR contributes to one of
those sections or the map shows none of them, when pseudo-relocations are present (a data import
the start-up would patch), or when the load configuration with DependentLoadFlags
LOAD_LIBRARY_SEARCH_SYSTEM32 is missing.
"""
import os
import re
import struct
import sys

import pe_load_config
from pe_resources import file_offset

SYMBOL = re.compile(r'^\s+0x([0-9a-f]+)\s+([A-Za-z_][\w$]*)(\s*=.*)?$')
# An input section the start-up runs or sets up; a long name puts the rest on the next line.
START_UP_SECTION = re.compile(r'^ (\.CRT\$\S*|\.tls\S*)(?:\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(.+))?$')
PLACEMENT = re.compile(r'^\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(.+)$')


def symbols(map_path):
    with open(map_path) as lines:
        return {m.group(2): int(m.group(1), 16) for m in map(SYMBOL.match, lines) if m}


def start_up_contributions(map_path):
    """Yields (section, file) for every non-empty input section of the start-up's lists in the link."""
    with open(map_path) as map_file:
        lines = map_file.read().splitlines()
    # Before this heading the map lists the sections the link discarded.
    lines = lines[lines.index('Linker script and memory map'):]
    for number, line in enumerate(lines):
        match = START_UP_SECTION.match(line)
        if not match:
            continue
        section, size, origin = match.groups()
        if size is None:
            placed = PLACEMENT.match(lines[number + 1]) if number + 1 < len(lines) else None
            if not placed:
                continue
            size, origin = placed.groups()
        if int(size, 16):
            yield section, origin


def file_of(origin, map_dir):
    """The file an input section came from: an archive's path without its member."""
    path = origin[:origin.index('(')] if origin.endswith(')') and '(' in origin else origin
    return os.path.realpath(os.path.join(map_dir, path))


def findings(exe_path, map_path, toolchain_dirs):
    data = open(exe_path, 'rb').read()
    pe = pe_load_config.Pe(data)
    toolchain = [os.path.realpath(folder) + os.sep for folder in toolchain_dirs]
    map_dir = os.path.dirname(os.path.abspath(map_path))
    contributions = list(start_up_contributions(map_path))
    if not contributions:
        yield 'the map shows none of the start-up\'s sections: nothing was checked'
    for section, origin in contributions:
        if not any(file_of(origin, map_dir).startswith(folder) for folder in toolchain):
            yield f'{origin} puts {section} into the start-up'
    found = symbols(map_path)
    if found.get('__rt_psrelocs_end') != found.get('__rt_psrelocs_start'):
        yield 'has pseudo-relocations'
    rva, _ = struct.unpack_from('<II', data, pe.directory)
    size, flags = struct.unpack_from('<I50xH', data, file_offset(pe.sections, rva)) if rva else (0, 0)
    if size <= pe_load_config.DEPENDENT_LOAD_FLAGS or flags != pe_load_config.LOAD_LIBRARY_SEARCH_SYSTEM32:
        yield 'lacks the load configuration with DependentLoadFlags LOAD_LIBRARY_SEARCH_SYSTEM32'


def main(argv):
    if len(argv) < 4:
        sys.stderr.write(__doc__)
        return 2
    problems = list(findings(argv[1], argv[2], argv[3:]))
    for problem in problems:
        print(f'{argv[1]}: {problem}')
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
