#!/usr/bin/env python3
"""Checks the compiled memotack.chm with chmlib's tools, and that compiling it is reproducible.

Usage: test_help_file.py BUILT_CHM HELP_SOURCE_FOLDER
"""
import filecmp
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

BUILT_CHM = None
SOURCES = None
PAGES = ['index.html', 'install.html', 'uninstall.html']


def compile_help(folder):
    work = os.path.join(folder, 'pages')
    shutil.copytree(SOURCES, work, ignore=shutil.ignore_patterns('CMakeLists.txt', '*.py'))
    subprocess.run(['chmcmd', '--verbosity', '0', 'memotack.hhp'], cwd=work, check=True, capture_output=True)
    chm = os.path.join(work, 'memotack.chm')
    subprocess.run([sys.executable, os.path.join(SOURCES, 'normalize_chm.py'), chm], check=True)
    return chm


class HelpFileTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp()

    def tearDown(self):
        shutil.rmtree(self.folder)

    def test_holds_the_pages_and_a_table_of_contents(self):
        listing = subprocess.run(['enum_chmLib', BUILT_CHM], capture_output=True, text=True, check=True).stdout
        for name in ['/#SYSTEM', '/toc.hhc', '/style.css'] + ['/' + page for page in PAGES]:
            self.assertRegex(listing, r'\s' + re.escape(name) + r'\n', name)
        out = os.path.join(self.folder, 'out')
        subprocess.run(['extract_chmLib', BUILT_CHM, out], capture_output=True, check=True)
        with open(os.path.join(out, 'toc.hhc'), encoding='latin-1') as f:
            toc = f.read()
        self.assertEqual(re.findall(r'name="Local" value="([^"]+)"', toc), PAGES)
        self.assertEqual(re.findall(r'name="Name" value="([^"]+)"', toc),
                         ['What Memotack does', 'Installing Memotack silently', 'Uninstalling Memotack'])
        with open(os.path.join(out, '#SYSTEM'), 'rb') as f:
            system = f.read()
        self.assertIn(b'toc.hhc', system)
        self.assertIn(b'index.html', system)
        with open(os.path.join(out, 'install.html'), encoding='latin-1') as f:
            self.assertIn('memotack_setup.exe -silent', f.read())
        with open(os.path.join(out, 'uninstall.html'), encoding='latin-1') as f:
            self.assertIn('memotack.exe -close', f.read())

    def test_compiling_again_gives_the_same_bytes(self):
        first = compile_help(os.path.join(self.folder, 'a'))
        second = compile_help(os.path.join(self.folder, 'b'))
        self.assertTrue(filecmp.cmp(first, second, shallow=False))
        self.assertTrue(filecmp.cmp(first, BUILT_CHM, shallow=False))
        with open(BUILT_CHM, 'rb') as f:
            self.assertEqual(f.read(20)[16:20], bytes(4), 'tick count stamp cleared')


if __name__ == '__main__':
    BUILT_CHM, SOURCES = sys.argv[1], sys.argv[2]
    unittest.main(argv=[sys.argv[0], '-v'])
