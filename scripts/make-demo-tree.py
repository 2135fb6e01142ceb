#!/usr/bin/env python3
"""Writes the sample tree that `scripts/run --demo` serves: text files, images, nested folders,
a 20 MB file, names with spaces and non-ASCII letters. Usage: make-demo-tree.py FOLDER"""
import os
import struct
import sys
import zlib


def png(width, height, colour):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    rows = b"".join(b"\x00" + bytes(colour) * width for _ in range(height))
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b"")


def bmp(width, height, colour):
    row = bytes(reversed(colour)) * width
    row += b"\x00" * ((4 - len(row) % 4) % 4)
    pixels = row * height
    header = b"BM" + struct.pack("<IHHI", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return header + info + pixels


def write(root, relative, data):
    path = os.path.join(root, relative)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode("utf-8"))


def main():
    root = sys.argv[1]
    os.makedirs(root, exist_ok=True)
    write(root, "README.txt", "Welcome to the Vestrigal demo server.\r\nBrowse, download, upload and delete freely.\r\n")
    write(root, "index.html", "<html><body><h1>Demo</h1></body></html>\n")
    write(root, "notes with spaces.txt", "A file whose name has spaces.\n")
    write(root, "Café menu — été.txt", "Crème brûlée, 7 €\n")
    write(root, "images/sunset.png", png(64, 48, (230, 120, 40)))
    write(root, "images/sea.png", png(48, 48, (30, 90, 200)))
    write(root, "images/grass.bmp", bmp(32, 32, (40, 180, 60)))
    write(root, "projects/site/style.css", "body { font-family: sans-serif; }\n")
    write(root, "projects/site/app.js", "console.log('hello');\n")
    write(root, "projects/site/pages/about.html", "<p>About</p>\n")
    write(root, "projects/data/numbers.csv", "".join(f"{i},{i * i}\n" for i in range(1000)))
    write(root, "projects/data/archive.zip", os.urandom(4096))
    os.makedirs(os.path.join(root, "empty folder"), exist_ok=True)
    write(root, "big/twenty-megabytes.bin", os.urandom(20 * 1024 * 1024))


if __name__ == "__main__":
    main()
