#!/usr/bin/python3
"""The plain Python + Pillow way of splitting a face archive into bitmaps.

tools/benchmark times this script beside mugcut and mugcut24: it does the
same job the way a player might script it by hand, reading the archive and
the palette file with plain Python and letting Pillow write each bitmap.

    benchmark_peer.py [--24] ARCHIVE PALETTE OUTPUT_FOLDER

Without --24 every face becomes an 8-bit bitmap with the palette as its
colour table (like mugcut); with --24 a 24-bit bitmap (like mugcut24).
An index page showing every face is written into the folder as well.
Needs Debian's python3-pil: run it with /usr/bin/python3.
"""

import argparse
import os
import struct

from PIL import Image

WIDTH = 96
HEIGHT = 120
CELL_SIZE = WIDTH * HEIGHT
INDEX_RECORD_SIZE = 16


def read_palette(path):
    """The 256 colours of the palette file as a flat R, G, B list."""
    with open(path, "rb") as f:
        data = f.read(4 + 256 * 4)
    if len(data) < 4 + 256 * 4:
        raise SystemExit(f"{path}: palette file too short")
    colours = []
    for i in range(256):
        red, green, blue, _extra = data[4 + 4 * i: 8 + 4 * i]
        colours += [red, green, blue]
    return colours


def split(archive, palette_path, folder, true_colour):
    palette = read_palette(palette_path)
    os.makedirs(folder, exist_ok=True)
    with open(archive, "rb") as f:
        (count,) = struct.unpack("<i", f.read(4))
        cell_area = 4 + INDEX_RECORD_SIZE * max(count, 0)
        names = []
        for n in range(count):
            f.seek(cell_area + CELL_SIZE * n)
            cell = f.read(CELL_SIZE)
            if len(cell) < CELL_SIZE:
                raise SystemExit(f"face {n:03d}: cell cut short")
            img = Image.frombytes("P", (WIDTH, HEIGHT), cell)
            img.putpalette(palette)
            if true_colour:
                img = img.convert("RGB")
            name = f"kao{n:03d}.bmp"
            img.save(os.path.join(folder, name), "BMP")
            names.append(name)
    page = "kao_s6bmp.html" if true_colour else "kao_bmp.html"
    with open(os.path.join(folder, page), "w", encoding="utf-8") as f:
        f.write("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
                f"<title>faces ({count})</title></head><body><table>\n")
        for start in range(0, len(names), 10):
            f.write("<tr>")
            for n in range(start, min(start + 10, len(names))):
                f.write(f"<td><img src=\"{names[n]}\"><br>{n:03d}</td>")
            f.write("</tr>\n")
        f.write("</table></body></html>\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--24", dest="true_colour", action="store_true",
                        help="write 24-bit bitmaps instead of 8-bit ones")
    parser.add_argument("archive")
    parser.add_argument("palette")
    parser.add_argument("folder")
    args = parser.parse_args()
    split(args.archive, args.palette, args.folder, args.true_colour)


if __name__ == "__main__":
    main()
