#!/usr/bin/env python3
"""Packs one file into a payload archive for the installer's "BINARY" resources.

Usage: pack_payload.py INPUT OUTPUT --limit BYTES [--name NAME]

The archive is a single-entry ZIP laid out without gaps: local header, raw deflate data, one
central directory record, end record. The installer's reader takes the first entry and trusts its
recorded sizes, so nothing else may be in it. The entry is named NAME (default: INPUT's file name),
which must be plain ASCII with no directory part. An input larger than BYTES (the build's
MEMOTACK_PAYLOAD_LIMIT, the most the installer unpacks in memory) is refused before anything is
written.

Time stamp: the input's modification time as local MS-DOS time, or, when SOURCE_DATE_EPOCH is set,
that moment in UTC, so that the same input gives the same bytes on every machine.
"""
import argparse
import os
import struct
import sys
import time
import zlib

LOCAL_HEADER = struct.Struct('<IHHHHHIIIHH')
CENTRAL_RECORD = struct.Struct('<IHHHHHHIIIHHHHHII')
END_RECORD = struct.Struct('<IHHHHIIH')

VERSION_20 = 20  # format 2.0; as "version made by": MS-DOS host
METHOD_DEFLATE = 8
ATTRIBUTE_ARCHIVE = 0x20
INT32_MAX = 0x7FFFFFFF  # the installer reads the recorded sizes as signed 32-bit numbers


class PackError(Exception):
    pass


def dos_time_date(moment):
    """(time, date) in MS-DOS format of a time.struct_time, clamped to what the format holds."""
    year = moment.tm_year
    if year < 1980:
        return 0, (1 << 5) | 1  # 1980-01-01 00:00:00
    if year > 2107:
        return (23 << 11) | (59 << 5) | 29, (127 << 9) | (12 << 5) | 31
    dos_time = (moment.tm_hour << 11) | (moment.tm_min << 5) | (min(moment.tm_sec, 59) // 2)
    dos_date = ((year - 1980) << 9) | (moment.tm_mon << 5) | moment.tm_mday
    return dos_time, dos_date


def entry_moment(path):
    epoch = os.environ.get('SOURCE_DATE_EPOCH')
    if epoch is not None:
        try:
            return time.gmtime(int(epoch))
        except ValueError:
            raise PackError(f'SOURCE_DATE_EPOCH is not a whole number of seconds: {epoch!r}')
    return time.localtime(os.stat(path).st_mtime)


def entry_name(path, name):
    name = os.path.basename(path) if name is None else name
    if not name or '/' in name or '\\' in name or ':' in name:
        raise PackError(f'entry name must be a plain file name without directory part: {name!r}')
    try:
        return name.encode('ascii')
    except UnicodeEncodeError:
        raise PackError(f'entry name must be ASCII: {name!r}')


def build_archive(data, name, dos_time, dos_date):
    compressor = zlib.compressobj(9, zlib.DEFLATED, -15, 9)
    packed = compressor.compress(data) + compressor.flush()
    crc = zlib.crc32(data) & 0xFFFFFFFF
    common = (METHOD_DEFLATE, dos_time, dos_date, crc, len(packed), len(data), len(name), 0)
    local = LOCAL_HEADER.pack(0x04034B50, VERSION_20, 0, *common) + name
    central = CENTRAL_RECORD.pack(0x02014B50, VERSION_20, VERSION_20, 0, *common,
                                  0, 0, 0, ATTRIBUTE_ARCHIVE, 0) + name
    central_offset = len(local) + len(packed)
    end = END_RECORD.pack(0x06054B50, 0, 0, 1, 1, len(central), central_offset, 0)
    return local + packed + central + end


def pack(input_path, output_path, limit, name=None):
    encoded_name = entry_name(input_path, name)
    if not 0 <= limit <= INT32_MAX:
        raise PackError(f'--limit must be between 0 and {INT32_MAX} bytes: {limit}')
    if not os.path.isfile(input_path):
        raise PackError(f'input file not found: {input_path}')
    size = os.path.getsize(input_path)
    if size > limit:
        raise PackError(f'{input_path} is {size} bytes; the installer unpacks payloads of at most {limit} bytes '
                        f'(MEMOTACK_PAYLOAD_LIMIT)')
    with open(input_path, 'rb') as f:
        data = f.read()
    archive = build_archive(data, encoded_name, *dos_time_date(entry_moment(input_path)))
    temp_path = output_path + '.tmp'
    with open(temp_path, 'wb') as f:
        f.write(archive)
    os.replace(temp_path, output_path)


def main(argv):
    parser = argparse.ArgumentParser(description='Pack one file into a single-entry payload ZIP archive.')
    parser.add_argument('input')
    parser.add_argument('output')
    parser.add_argument('--limit', type=int, required=True, help='largest input in bytes (MEMOTACK_PAYLOAD_LIMIT)')
    parser.add_argument('--name', help='entry name (default: the input file name)')
    args = parser.parse_args(argv)
    try:
        pack(args.input, args.output, args.limit, args.name)
    except (PackError, OSError) as error:
        print(f'pack_payload: error: {error}', file=sys.stderr)
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
