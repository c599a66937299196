#!/usr/bin/env python3
"""authenticode.py digest|signed FILE: the Authenticode view of a PE file.

digest   prints the SHA-256 a signature of FILE covers: the file without its header checksum, its
         certificate-table entry and the certificate table, zero-padded to 8 bytes as signing pads
         it. A signed file and the unsigned file it was made from give the same digest.
signed   exits 0 when FILE carries a certificate table (a signature), 1 when it does not.
"""
import hashlib
import struct
import sys


def layout(data):
    """(offset of the checksum, offset of the certificate-table entry, table offset, table size)."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + {0x10B: 96, 0x20B: 112}[magic]
    entry = directories + 4 * 8
    table, size = struct.unpack_from("<II", data, entry)
    return optional + 64, entry, table, size


def digest(data):
    checksum, entry, table, size = layout(data)
    end = table if size else len(data)
    sha = hashlib.sha256()
    for piece in (data[:checksum], data[checksum + 4:entry], data[entry + 8:end], b"\0" * (-end % 8)):
        sha.update(piece)
    return sha.hexdigest().upper()


if __name__ == "__main__":
    command, path = sys.argv[1:3]
    with open(path, "rb") as f:
        contents = f.read()
    if command == "digest":
        print(digest(contents))
    elif command == "signed":
        sys.exit(0 if layout(contents)[3] else 1)
    else:
        sys.exit(f"unknown command {command}")
