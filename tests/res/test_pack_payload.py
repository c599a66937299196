#!/usr/bin/env python3
"""Checks the payload packer's archives field by field and with Info-ZIP's unzip.

Usage: test_pack_payload.py PACKER LIMIT [BUILT_ARCHIVE...]
LIMIT is the build's MEMOTACK_PAYLOAD_LIMIT, which the build passes to the packer.
The built archives (the installer's payloads 134 and 135) get the same layout checks.
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

PACKER = None
LIMIT = None
BUILT_ARCHIVES = []


def run_packer(*args, env=None, limit=None):
    limit = LIMIT if limit is None else limit
    return subprocess.run([sys.executable, PACKER, *args, '--limit', str(limit)], capture_output=True, text=True,
                          env=env)


def check_layout(test, archive, name, content=None):
    """Every field of the single-entry layout; returns the stored (time, date)."""
    local = struct.unpack_from('<IHHHHHIIIHH', archive, 0)
    signature, version, flags, method, dos_time, dos_date, crc, packed_size, size, name_length, extra = local
    test.assertEqual(signature, 0x04034B50)
    test.assertEqual((version, flags, method), (20, 0, 8))
    test.assertEqual(name_length, len(name))
    test.assertEqual(extra, 0)
    test.assertEqual(archive[30:30 + name_length], name)
    data = archive[30 + name_length:30 + name_length + packed_size]
    unpacked = zlib.decompress(data, -15)
    test.assertEqual(len(unpacked), size)
    test.assertEqual(zlib.crc32(unpacked) & 0xFFFFFFFF, crc)
    if content is not None:
        test.assertEqual(unpacked, content)

    central_at = 30 + name_length + packed_size
    central = struct.unpack_from('<IHHHHHHIIIHHHHHII', archive, central_at)
    test.assertEqual(central[0], 0x02014B50)
    test.assertEqual(central[1], 20, 'version made by: 2.0, MS-DOS')
    test.assertEqual(central[2:7], (20, 0, 8, dos_time, dos_date))
    test.assertEqual(central[7:11], (crc, packed_size, size, name_length))
    extra_length, comment_length, disk, internal, external, offset = central[11:]
    test.assertEqual((extra_length, comment_length, disk, internal, external, offset), (0, 0, 0, 0, 0x20, 0))
    test.assertEqual(archive[central_at + 46:central_at + 46 + name_length], name)

    end_at = central_at + 46 + name_length
    end = struct.unpack_from('<IHHHHIIH', archive, end_at)
    test.assertEqual(end, (0x06054B50, 0, 0, 1, 1, 46 + name_length, central_at, 0))
    test.assertEqual(len(archive), end_at + 22, 'nothing after the end record')
    test.assertEqual(len(archive), packed_size + 98 + 2 * name_length)
    return dos_time, dos_date


class PackerTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp()
        self.input = os.path.join(self.folder, 'memotack.exe')
        self.content = b'MZ' + bytes(range(256)) * 300 + b'notes' * 1000
        with open(self.input, 'wb') as f:
            f.write(self.content)
        os.utime(self.input, (1403129680, 1403129680))

    def tearDown(self):
        shutil.rmtree(self.folder)

    def pack(self, output='out.zip', *extra, env=None):
        path = os.path.join(self.folder, output)
        result = run_packer(self.input, path, *extra, env=env)
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(path, 'rb') as f:
            return path, f.read()

    def test_layout_and_unzip(self):
        path, archive = self.pack()
        check_layout(self, archive, b'memotack.exe', self.content)
        result = subprocess.run(['unzip', '-t', path], capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertIn('No errors detected', result.stdout)

    def test_name_has_no_directory_part_and_can_be_chosen(self):
        _, archive = self.pack('named.zip', '--name', 'memotack.chm')
        check_layout(self, archive, b'memotack.chm', self.content)
        result = run_packer(self.input, os.path.join(self.folder, 'x.zip'), '--name', 'sub/memotack.exe')
        self.assertNotEqual(result.returncode, 0)
        self.assertIn('directory', result.stderr)

    def test_source_date_epoch_fixes_the_time_stamp(self):
        env = dict(os.environ, SOURCE_DATE_EPOCH='1403129680', TZ='America/New_York')
        _, first = self.pack('a.zip', env=env)
        os.utime(self.input, (1600000000, 1600000000))
        _, second = self.pack('b.zip', env=env)
        self.assertEqual(first, second)
        dos_time, dos_date = check_layout(self, first, b'memotack.exe')
        # 2014-06-18 22:14:40 UTC
        self.assertEqual(dos_date, (34 << 9) | (6 << 5) | 18)
        self.assertEqual(dos_time, (22 << 11) | (14 << 5) | 20)

    def test_without_source_date_epoch_the_file_time_counts(self):
        env = {k: v for k, v in os.environ.items() if k != 'SOURCE_DATE_EPOCH'}
        env['TZ'] = 'UTC'
        _, archive = self.pack(env=env)
        dos_time, dos_date = check_layout(self, archive, b'memotack.exe')
        self.assertEqual((dos_time, dos_date), ((22 << 11) | (14 << 5) | 20, (34 << 9) | (6 << 5) | 18))

    def test_empty_file(self):
        with open(self.input, 'wb'):
            pass
        path, archive = self.pack()
        check_layout(self, archive, b'memotack.exe', b'')
        self.assertEqual(subprocess.run(['unzip', '-tq', path], capture_output=True).returncode, 0)

    def test_missing_input_stops_with_a_message(self):
        output = os.path.join(self.folder, 'never.zip')
        result = run_packer(os.path.join(self.folder, 'absent.exe'), output)
        self.assertNotEqual(result.returncode, 0)
        self.assertIn('not found', result.stderr)
        self.assertFalse(os.path.exists(output))

    def test_input_over_the_limit_stops_with_a_message(self):
        big = os.path.join(self.folder, 'big.exe')
        with open(big, 'wb') as f:
            f.truncate(LIMIT + 1)  # sparse: costs no disk space
        output = os.path.join(self.folder, 'big.zip')
        result = run_packer(big, output)
        self.assertNotEqual(result.returncode, 0)
        self.assertIn(f'is {LIMIT + 1} bytes; the installer unpacks payloads of at most {LIMIT} bytes', result.stderr)
        self.assertFalse(os.path.exists(output))
        # The limit itself is allowed; one that the installer's signed sizes cannot hold is not.
        size = len(self.content)
        self.assertEqual(run_packer(self.input, output, limit=size).returncode, 0)
        self.assertNotEqual(run_packer(self.input, output, limit=size - 1).returncode, 0)
        result = run_packer(self.input, output, limit=2 ** 31)
        self.assertNotEqual(result.returncode, 0)
        self.assertIn('--limit must be', result.stderr)


class BuiltPayloadTest(unittest.TestCase):
    def test_built_archives(self):
        for path in BUILT_ARCHIVES:
            with self.subTest(path=path):
                with open(path, 'rb') as f:
                    archive = f.read()
                name = archive[30:30 + struct.unpack_from('<H', archive, 26)[0]]
                self.assertIn(name, (b'memotack.exe', b'memotack.chm'))
                check_layout(self, archive, name)
                result = subprocess.run(['unzip', '-t', path], capture_output=True, text=True)
                self.assertEqual(result.returncode, 0, result.stdout)


if __name__ == '__main__':
    PACKER = sys.argv[1]
    LIMIT = int(sys.argv[2])
    BUILT_ARCHIVES = sys.argv[3:]
    unittest.main(argv=[sys.argv[0], '-v'])
