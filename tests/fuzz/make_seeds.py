#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz harnesses into corpus/<harness>/.

The seeds are checked in; run this again only to change them. Every seed is
small: a few bytes, or one face bitmap or archive at most.
"""

import shutil
import struct
from pathlib import Path

CORPUS = Path(__file__).resolve().parent / "corpus"

FACE_WIDTH = 96
FACE_HEIGHT = 120
CELL_SIZE = FACE_WIDTH * FACE_HEIGHT


def cell_bytes(seed):
    """A portrait whose rows all differ, as stored in an archive."""
    return bytes((row * 3 + column * 7 + seed) % 256
                 for row in range(FACE_HEIGHT) for column in range(FACE_WIDTH))


def palette_file():
    """A palette file: the unused header, then red, green, blue, extra."""
    entries = b"".join(bytes((i, 255 - i, (i * 5) % 256, 0)) for i in range(256))
    return b"\x00\x01\x00\x00" + entries


def bitmap8(cell):
    """An 8-bit face bitmap as the splitter writes it, bottom row first."""
    rows = b"".join(cell[row * FACE_WIDTH:(row + 1) * FACE_WIDTH]
                    for row in reversed(range(FACE_HEIGHT)))
    colour_table = b"".join(bytes((i, i, i, 0)) for i in range(256))
    offset = 14 + 40 + len(colour_table)
    file_header = b"BM" + struct.pack("<IHHI", offset + len(rows), 0, 0, offset)
    info_header = struct.pack("<IiiHHIIiiII", 40, FACE_WIDTH, FACE_HEIGHT, 1, 8, 0,
                              len(rows), 0, 0, 0, 0)
    return file_header + info_header + colour_table + rows


def bitmap_header(offset, file_size=0):
    return b"BM" + struct.pack("<IHHI", file_size, 0, 0, offset)


def archive(face_count, cells):
    index = b"".join(struct.pack("<IIII", n * CELL_SIZE, CELL_SIZE, FACE_WIDTH, FACE_HEIGHT)
                     for n in range(max(face_count, 0)))
    return struct.pack("<i", face_count) + index + b"".join(cells)


def seeds():
    yield "fuzz_path_answer", {
        "crlf": b"D:\\games\\kaodata.s7\r\n",
        "empty_lines": b"\r\n\n\r\r\nC:\r\n",
        "backslash_ending": b"C:\\SAN7\\\n\\\n",
        "sjis_so": b"\x83\x5c\n\x83\x5c\\\r\n",
        "ctrl_z": b"abc\x1a\ndef\n",
        "ctrl_z_first": b"\x1a",
        "no_line_feed": b"kaodata.s7",
        "carriage_returns_only": b"x\n\r\r",
    }
    yield "fuzz_palette_path", {
        "drive_directory": b"D:\\games\\kaodata.s7",
        "drive_only": b"C:kaodata.s7",
        "relative": b"SAN7\\kaodata.s7",
        "slashes": b"dir/sub.d/name",
        "dot_file": b".hidden",
        "parent": b"..\\..",
        "sjis_so_directory": b"\x83\x5c\\kao.s7",
        "sjis_so_name": b"kao\x83\x5c.\x83\x5cs7",
        "lead_byte_colon": b"\x81:\x81\\x",
        "lone_lead_byte": b"\x81",
    }
    yield "fuzz_listing_names", {
        "plain": b"kao001.bmp\nKAO002.BMP\nkao.bmp\nkao1234.bmp\nKao_a.Bmp",
        "cases": b"kaoa.bmp\nKAOA.bmp\nkao_.bmp\nKAO_.BMP\nkao[.bmp",
        "utf8": "kaoあいう.bmp\nkaoあいうえ.bmp\nkao.d.bmp".encode("utf-8"),
        "high_bytes": b"kao\xff.bmp\nkao\x80\x80\x80\x80.bmp\n\n",
    }
    yield "fuzz_face_bitmap_reader", {
        "whole_bitmap8": bitmap8(cell_bytes(0)),
        "rows_after_header": bitmap_header(14) + cell_bytes(1),
        "header_only": bitmap_header(1078, 12598),
        "short_header": b"BM\x36\x31\x00\x00",
        "offset_far_away": bitmap_header(0xFFFFFFF0) + b"\x00" * 64,
        "offset_at_end": bitmap_header(100) + b"\x01" * 86,
    }
    yield "fuzz_face_archive", {
        "one_face": archive(1, [cell_bytes(2)]),
        "count_only": archive(678, [])[:4],
        "count_normal": struct.pack("<i", 648),
        "truncated_face": archive(1, [cell_bytes(3)[:500]]),
        "negative_count": struct.pack("<i", -1) + b"\x00" * 32,
        "huge_count": struct.pack("<i", 0x7FFFFFFF) + b"\x00" * 16,
        "zero_count": struct.pack("<i", 0),
        "short_count": b"\x01\x00\x00",
    }
    # A flag byte (bit 0: 24-bit), the room as two bytes, then the palette file
    # and the pixel indices.
    palette = palette_file()
    yield "fuzz_face_bitmap_writer", {
        "bitmap8_fits": b"\x00\xff\xff" + palette + bytes(range(256)),
        "bitmap24_fits": b"\x01\xff\xff" + palette + bytes(range(0, 256, 3)),
        "bitmap8_short": b"\x00\x00\x10" + palette + b"\x07",
        "bitmap24_short": b"\x01\x00\x02" + palette,
        "no_palette": b"\x00\x40\x00" + b"\x05" * 20,
    }


def main():
    for harness, files in seeds():
        folder = CORPUS / harness
        shutil.rmtree(folder, ignore_errors=True)
        folder.mkdir(parents=True)
        for name, data in files.items():
            (folder / name).write_bytes(data)


if __name__ == "__main__":
    main()
