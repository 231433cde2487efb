#!/usr/bin/env python3
"""Packs skin files into the program's skin archive.

Layout: the magic "SKzf", a 32-bit little-endian file count, then per file
a 32-bit name length, the name, the 32-bit unpacked size and a zlib stream.
Files are stored under their base names, in the order given.
"""
import argparse
import os
import struct
import sys
import zlib

MAGIC = b"SKzf"
MAX_NAME = 255


def pack(paths):
    out = bytearray(MAGIC)
    out += struct.pack("<I", len(paths))
    seen = set()
    for path in paths:
        name = os.path.basename(path).encode("utf-8")
        if not name or len(name) > MAX_NAME:
            raise ValueError(f"bad file name: {path}")
        if name.lower() in seen:
            raise ValueError(f"duplicate file name: {path}")
        seen.add(name.lower())
        with open(path, "rb") as f:
            data = f.read()
        out += struct.pack("<I", len(name)) + name
        out += struct.pack("<I", len(data)) + zlib.compress(data, 9)
    return bytes(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("-o", "--output", required=True)
    parser.add_argument("files", nargs="+")
    args = parser.parse_args()
    data = pack(args.files)
    # Written whole under a temporary name, so a failed run leaves no half archive.
    temp = args.output + ".tmp"
    with open(temp, "wb") as f:
        f.write(data)
    os.replace(temp, args.output)
    return 0


if __name__ == "__main__":
    sys.exit(main())
