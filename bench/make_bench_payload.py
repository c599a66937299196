#!/usr/bin/env python3
"""Writes bench_payload.zip: one deflated entry of about 8 MB laid out like the installer's payloads
(local header, data, one central record, end record), with data that compresses about as well as
an executable does."""
import random
import struct
import sys
import zlib

rng = random.Random(1234)
words = [bytes(rng.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 9))) for _ in range(3000)]
parts = []
size = 0
while size < 8 * 1024 * 1024:
    if rng.random() < 0.3:
        chunk = bytes(rng.getrandbits(8) for _ in range(rng.randint(16, 256)))
    else:
        chunk = b" ".join(rng.choice(words) for _ in range(rng.randint(4, 40))) + b"\n"
    parts.append(chunk)
    size += len(chunk)
data = b"".join(parts)
packer = zlib.compressobj(9, zlib.DEFLATED, -15)
packed = packer.compress(data) + packer.flush()
name = b"memotack.exe"
crc = zlib.crc32(data)
local = struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, 8, 0, 0x21, crc, len(packed), len(data), len(name), 0) + name
central = struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, 8, 0, 0x21, crc, len(packed), len(data),
                      len(name), 0, 0, 0, 0, 0x20, 0) + name
end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 1, 1, len(central), len(local) + len(packed), 0)
with open(sys.argv[1], "wb") as f:
    f.write(local + packed + central + end)
