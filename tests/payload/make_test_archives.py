#!/usr/bin/env python3
"""Writes the payload tests' archives into OUTDIR. Usage: make_test_archives.py OUTDIR LIMIT

LIMIT is the build's MEMOTACK_PAYLOAD_LIMIT, the largest file the installer unpacks.

Most are made by other tools (Info-ZIP zip, Python's zipfile, 7-Zip), so that the reader is tried
on archives it did not make; a few with exact, unusual bytes (long names, timestamp blocks, bad
CRC, names that climb out of their folder) are written field by field here.
File contents follow Pattern() / the fixed texts that the C++ tests rebuild.
"""
import os
import shutil
import struct
import subprocess
import sys
import zipfile
import zlib

UNIX_TIME = 1577934245  # 2020-01-02 03:04:05 UTC
DOS_TIME = (3 << 11) | (4 << 5) | (6 // 2)  # 03:04:06
DOS_DATE = ((2020 - 1980) << 9) | (1 << 5) | 2  # 2020-01-02


def pattern(size):
    return bytes(((i * 31) + (i >> 8)) & 0xFF for i in range(size))


README = b"Read me first.\n" * 40
HELLO = b"Hello from a deflated entry.\n" * 200


def noise(size):
    """Letters A to P in xorshift32 order from a fixed seed: deflate halves them at best."""
    out = bytearray(size)
    x = 0x2545F491
    for i in range(size):
        x ^= (x << 13) & 0xFFFFFFFF
        x ^= x >> 17
        x ^= (x << 5) & 0xFFFFFFFF
        out[i] = 0x41 + (x & 0x0F)
    return bytes(out)


def local_header(name, method, crc, csize, usize, extra, flags=0):
    return struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, flags, method, DOS_TIME, DOS_DATE, crc, csize, usize,
                       len(name), len(extra)) + name + extra


def central_record(name, method, crc, csize, usize, offset, external, made_by=20, extra=b""):
    return struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, made_by, 20, 0, method, DOS_TIME, DOS_DATE, crc, csize,
                       usize, len(name), len(extra), 0, 0, 0, external, offset) + name + extra


def crafted(entries):
    """entries: dicts with name (bytes), data, and optional method, packed (data as stored), crc, usize, csize
    (the recorded compressed size), extra, external, made_by."""
    body, central = b"", b""
    for e in entries:
        data, method = e["data"], e.get("method", 8)
        if "packed" in e:
            packed = e["packed"]
        elif method == 8:
            packer = zlib.compressobj(9, zlib.DEFLATED, -15)
            packed = packer.compress(data) + packer.flush()
        else:
            packed = data
        crc = e.get("crc", zlib.crc32(data))
        usize = e.get("usize", len(data))
        csize = e.get("csize", len(packed))
        offset = len(body)
        body += local_header(e["name"], method, crc, csize, usize, e.get("extra", b"")) + packed
        central += central_record(e["name"], method, crc, csize, usize, offset, e.get("external", 0x20),
                                  e.get("made_by", 20))
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries), len(central), len(body), 0)
    return body + central + end


def ut_block(flags, *times):
    data = bytes([flags]) + b"".join(struct.pack("<i", t) for t in times)
    return struct.pack("<HH", 0x5455, len(data)) + data


def deflated_zeros(count):
    """(raw deflate data, CRC-32) of count zero bytes, made a megabyte at a time."""
    packer, chunk, crc, parts = zlib.compressobj(9, zlib.DEFLATED, -15), bytes(1 << 20), 0, []
    while count > 0:
        piece = chunk[:min(count, len(chunk))]
        parts.append(packer.compress(piece))
        crc = zlib.crc32(piece, crc)
        count -= len(piece)
    return b"".join(parts) + packer.flush(), crc


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def make_tool_tree(root):
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(os.path.join(root, "dir"))
    files = {"readme.txt": README, "dir/file.txt": HELLO, "stored.dat": pattern(3000)}
    for name, data in files.items():
        path = os.path.join(root, name)
        write(path, data)
        os.utime(path, (UNIX_TIME, UNIX_TIME))
    os.chmod(os.path.join(root, "readme.txt"), 0o644)
    os.chmod(os.path.join(root, "stored.dat"), 0o444)
    os.utime(os.path.join(root, "dir"), (UNIX_TIME, UNIX_TIME))
    return files


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    tree = os.path.join(out, "tree")
    make_tool_tree(tree)

    # Info-ZIP: UT and Unix extra fields, a directory entry, .dat files stored.
    infozip = os.path.join(out, "infozip.zip")
    if os.path.exists(infozip):
        os.remove(infozip)
    subprocess.run(["zip", "-q", "-X-", "-r", "-n", ".dat", infozip, "readme.txt", "dir", "stored.dat"], cwd=tree,
                   check=True)

    # 7-Zip, where available: deflate, no extra timestamps.
    sevenzip = os.path.join(out, "sevenzip.zip")
    if os.path.exists(sevenzip):
        os.remove(sevenzip)
    if shutil.which("7z"):
        subprocess.run(["7z", "a", "-bd", "-tzip", "-mm=Deflate", sevenzip, "readme.txt", "dir", "stored.dat"],
                       cwd=tree, check=True, stdout=subprocess.DEVNULL)
    else:
        write(sevenzip, b"")

    # Python's zipfile: stored and deflated entries, Unix and DOS attributes.
    python_zip = os.path.join(out, "python.zip")
    with zipfile.ZipFile(python_zip, "w") as z:
        info = zipfile.ZipInfo("stored.bin", date_time=(2020, 1, 2, 3, 4, 6))
        info.compress_type = zipfile.ZIP_STORED
        info.external_attr = (0o100644 << 16) | 0x20
        z.writestr(info, pattern(5000))
        info = zipfile.ZipInfo("deflated.txt", date_time=(2020, 1, 2, 3, 4, 6))
        info.compress_type = zipfile.ZIP_DEFLATED
        info.external_attr = (0o100644 << 16) | 0x20
        z.writestr(info, HELLO)
        info = zipfile.ZipInfo("dos.txt", date_time=(2020, 1, 2, 3, 4, 6))
        info.create_system = 0
        info.external_attr = 0x20
        info.compress_type = zipfile.ZIP_DEFLATED
        z.writestr(info, README)
        info = zipfile.ZipInfo("empty.txt", date_time=(2020, 1, 2, 3, 4, 6))
        info.compress_type = zipfile.ZIP_DEFLATED
        z.writestr(info, b"")
    with open(python_zip, "rb") as f:
        python_bytes = f.read()

    # The same archive behind other bytes, as in a self-extracting file.
    write(os.path.join(out, "prepended.zip"), b"MZ" + pattern(998) + python_bytes)

    long_name = b"L" * 300
    write(os.path.join(out, "crafted.zip"), crafted([
        {"name": b"readme.txt", "data": README},
        {"name": b"dir/file", "data": HELLO},
        {"name": b"\xe9t\xe9.txt", "data": b"accented"},  # "ete" with acute accents in code page 1252
        {"name": b"ut-mtime.txt", "data": b"x", "extra": struct.pack("<HH", 0x7875, 0) + ut_block(1, UNIX_TIME)},
        {"name": b"ut-all.txt", "data": b"y", "extra": ut_block(7, UNIX_TIME, UNIX_TIME + 60, UNIX_TIME + 120)},
        {"name": b"ut-short.txt", "data": b"z", "extra": ut_block(7, UNIX_TIME)},
        {"name": b"ut-1960.txt", "data": b"w", "extra": ut_block(1, -315619200)},  # 1960-01-01
        {"name": b"N" * 255, "data": b"255"},
        {"name": b"M" * 256, "data": b"256"},
        {"name": long_name, "data": b"300"},
        {"name": b"empty.txt", "data": b""},
        {"name": b"bad-crc.txt", "data": HELLO, "crc": zlib.crc32(HELLO) ^ 1},
        {"name": b"short.txt", "data": HELLO, "usize": len(HELLO) + 10},
        {"name": b"good/sub/", "data": b"", "method": 0, "external": 0x10},
        {"name": b"../escape/", "data": b"", "method": 0, "external": 0x10},
        {"name": b"/absolute/", "data": b"", "method": 0, "external": 0x10},
        {"name": b"C:/drive/", "data": b"", "method": 0, "external": 0x10},
        {"name": b"sub/..\\..\\up/", "data": b"", "method": 0, "external": 0x10},
        {"name": b"unix-dir/", "data": b"", "method": 0, "external": (0o40755 << 16), "made_by": 0x0314},
    ]))

    # Payloads for ExtractPayload.
    big = pattern(200000)
    write(os.path.join(out, "payload_ok.zip"), crafted([{"name": b"memotack.exe", "data": big}]))
    write(os.path.join(out, "payload_empty.zip"), crafted([{"name": b"memotack.chm", "data": b""}]))
    write(os.path.join(out, "payload_two.zip"), crafted([{"name": b"first.bin", "data": README},
                                                        {"name": b"second.bin", "data": HELLO}]))
    write(os.path.join(out, "payload_stored.zip"), crafted([{"name": b"Some Other Name.DAT", "data": HELLO,
                                                            "method": 0}]))
    write(os.path.join(out, "payload_notzip.bin"), b"This is not an archive at all.\n" * 10)
    write(os.path.join(out, "payload_badcrc.zip"), crafted([{"name": b"memotack.exe", "data": big,
                                                            "crc": zlib.crc32(big) ^ 0x100}]))
    write(os.path.join(out, "payload_badsize.zip"), crafted([{"name": b"memotack.exe", "data": big,
                                                             "usize": len(big) + 1}]))
    # Recorded sizes the installer must not try to hold: 1.5 GiB, and the limit itself, claimed by
    # deflate data that cannot hold them; one byte over the limit in data that does decompress to it.
    write(os.path.join(out, "payload_huge.zip"), crafted([{"name": b"memotack.exe", "data": big,
                                                          "usize": 3 << 29}]))
    limit = int(sys.argv[2])
    write(os.path.join(out, "payload_claimed.zip"), crafted([{"name": b"memotack.exe", "data": big, "usize": limit}]))
    packed, crc = deflated_zeros(limit + 1)
    assert (limit + 1) <= 1032 * len(packed), "the over-limit payload must look plausible otherwise"
    write(os.path.join(out, "payload_overlimit.zip"), crafted([{"name": b"memotack.exe", "data": b"", "packed": packed,
                                                               "crc": crc, "usize": limit + 1}]))
    # Deflated data several times the reader's 256 KiB chunk, so that inflating and checksumming
    # run on across chunk boundaries.
    large = noise(1200000)
    write(os.path.join(out, "payload_large.zip"), crafted([{"name": b"memotack.exe", "data": large}]))
    write(os.path.join(out, "payload_large_badcrc.zip"), crafted([{"name": b"memotack.exe", "data": large,
                                                                  "crc": zlib.crc32(large) ^ 0x100}]))
    # Memory reads of more than a megabyte: a stored entry, and compressed data recorded as running
    # past the end of the archive.
    write(os.path.join(out, "memory_reads.zip"), crafted([{"name": b"stored.bin", "data": large, "method": 0},
                                                          {"name": b"overclaimed.txt", "data": HELLO,
                                                           "csize": 0x7FFFFF00}]))
    write(os.path.join(out, "payload_truncated.zip"), crafted([{"name": b"memotack.exe", "data": big}])[:1500])
    write(os.path.join(out, "hundred.bin"), bytes(range(100)))
    write(os.path.join(out, "zero.bin"), b"")


if __name__ == "__main__":
    main()
