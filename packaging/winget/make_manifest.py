#!/usr/bin/env python3
"""Writes the winget manifest of a built memotack_setup.exe.

make_manifest.py --installer PATH --out DIR [--url URL]

Copies the three manifest files next to this script into DIR, with InstallerUrl set to URL and
InstallerSha256 to the SHA-256 of the installer file, and without the template's own notes.
Everything else is taken as it stands, so the committed manifest stays the one source.
"""
import argparse
import hashlib
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
MANIFESTS = (
    "PelmoSoftware.Memotack.yaml",
    "PelmoSoftware.Memotack.installer.yaml",
    "PelmoSoftware.Memotack.locale.en-US.yaml",
)
DEFAULT_URL = "https://www.pelmo-software.example/download/8.0a/memotack_setup.exe"
TEMPLATE_NOTE = "# Template:"


def sha256_of(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 16), b""):
            digest.update(block)
    return digest.hexdigest().upper()


def fill(text, url, sha256):
    """The manifest text with both installer values replaced on every installer."""
    lines = [line for line in text.splitlines(keepends=True) if not line.startswith(TEMPLATE_NOTE)]
    text = "".join(lines)
    text, urls = re.subn(r"^(\s*InstallerUrl: ).*$", lambda m: m.group(1) + url, text, flags=re.M)
    # Quoted: YAML would read a hash of digits alone as a number, which the schema refuses.
    text, hashes = re.subn(r"^(\s*InstallerSha256: ).*$", lambda m: f'{m.group(1)}"{sha256}"', text, flags=re.M)
    if urls == 0 or urls != hashes:
        raise ValueError("the installer manifest must give InstallerUrl and InstallerSha256 for every installer")
    return text


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--installer", required=True, help="the built memotack_setup.exe")
    parser.add_argument("--out", required=True, help="folder to write the three manifest files into")
    parser.add_argument("--url", default=DEFAULT_URL, help="where the installer is published (https)")
    args = parser.parse_args()
    if not re.match(r"^[Hh][Tt][Tt][Pp][Ss]?://.+$", args.url) or len(args.url) > 2048:
        parser.error("--url must be an http or https address of at most 2048 characters")
    if re.search(r"\s", args.url):
        parser.error("--url must not hold white space")

    sha256 = sha256_of(args.installer)
    os.makedirs(args.out, exist_ok=True)
    for name in MANIFESTS:
        with open(os.path.join(HERE, name), encoding="utf-8") as f:
            text = f.read()
        if name.endswith(".installer.yaml"):
            text = fill(text, args.url, sha256)
        with open(os.path.join(args.out, name), "w", encoding="utf-8", newline="\n") as f:
            f.write(text)
    print(f"{args.out}: InstallerSha256 {sha256}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
