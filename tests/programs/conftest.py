"""Shared fixtures of the whole-program tests.

Every program runs in a new session, without a controlling terminal, so that
its closing key wait returns at once; the key-wait tests drive a program
through a pseudo-terminal instead (see terminal.py).

The suite runs once for each way of starting the programs that is available:
the native build, and the Windows build under Wine when MUG_WINDOWS_BIN_DIR
names it.
"""

import os
import pathlib
import shutil
import struct
import subprocess

import pytest

REPO = pathlib.Path(__file__).resolve().parents[2]
NATIVE_BIN_DIR = pathlib.Path(os.environ.get("MUG_BIN_DIR", REPO / "build" / "bin"))
WINDOWS_BIN_DIR = os.environ.get("MUG_WINDOWS_BIN_DIR")

FACE_WIDTH = 96
FACE_HEIGHT = 120
FACE_CELL_SIZE = FACE_WIDTH * FACE_HEIGHT
# The programs give every file stream a buffer of 64 KiB: what they write reaches the
# file only when a write does not fit in what is left of the buffer, and at the close.
# So a full disk or a file size limit shows at those writes.
STREAM_BUFFER_SIZE = 65536


class Launcher:
    """How the programs are started, and what their console line end is."""

    def __init__(self, name, bin_dir, suffix, prefix, newline):
        self.name = name
        self.bin_dir = pathlib.Path(bin_dir)
        self.suffix = suffix
        self.prefix = prefix
        self.newline = newline

    def command(self, program):
        return self.prefix + [str(self.bin_dir / (program + self.suffix))]

    def text(self, text):
        """The console bytes of a program text: CP932, with its line ends."""
        return text.encode("cp932").replace(b"\n", self.newline)

    def run(self, program, answers=b"", cwd=None, timeout=60, env=None):
        """Runs a program with the answers on standard input, in a new session."""
        return subprocess.run(
            self.command(program),
            input=answers,
            capture_output=True,
            cwd=cwd,
            timeout=timeout,
            start_new_session=True,
            env=env,
        )


def _launchers():
    found = [pytest.param(Launcher("native", NATIVE_BIN_DIR, "", [], b"\n"), id="native")]
    if WINDOWS_BIN_DIR:
        wine = shutil.which("wine64") or shutil.which("wine")
        found.append(
            pytest.param(
                Launcher("wine", WINDOWS_BIN_DIR, ".exe", [wine], b"\r\n"),
                id="wine",
                marks=pytest.mark.wine,
            )
        )
    return found


@pytest.fixture(params=_launchers())
def launcher(request):
    return request.param


@pytest.fixture
def native():
    return Launcher("native", NATIVE_BIN_DIR, "", [], b"\n")


def cell_of(seed):
    """A face cell (top row first) whose bytes depend on the seed and the position:
    (seed * 7 + row * 3 + column) % 256."""
    shift = seed * 7 % 256
    return _CELL_PATTERN.translate(bytes((b + shift) % 256 for b in range(256)))


_CELL_PATTERN = bytes((row * 3 + column) % 256 for row in range(FACE_HEIGHT)
                      for column in range(FACE_WIDTH))


def rows_bottom_first(cell):
    rows = [cell[r * FACE_WIDTH:(r + 1) * FACE_WIDTH] for r in range(FACE_HEIGHT)]
    return b"".join(reversed(rows))


def bitmap_bytes(cell, offset=1078):
    """An 8-bit face bitmap of the cell whose pixel data starts at the offset."""
    file_header = b"BM" + struct.pack("<IHHI", offset + FACE_CELL_SIZE, 0, 0, offset)
    info_header = struct.pack("<IiiHHIIiiII", 40, FACE_WIDTH, FACE_HEIGHT, 1, 8, 0,
                              FACE_CELL_SIZE, 0, 0, 0, 0)
    head = (file_header + info_header).ljust(offset, b"\0")[:offset]
    return head + rows_bottom_first(cell)


def make_face_folder(folder, count, names=None):
    """A folder of face bitmaps kao000.bmp ... whose cells are cell_of(n).

    Returns the cells in face-number order."""
    folder = pathlib.Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    names = names or ["kao%03d.bmp" % n for n in range(count)]
    cells = []
    for n, name in enumerate(names):
        cell = cell_of(n)
        (folder / name).write_bytes(bitmap_bytes(cell))
        cells.append(cell)
    return cells


class FaceStock:
    """A folder of the 678 bitmaps kao000.bmp ... kao677.bmp made once, to copy from."""

    def __init__(self, folder):
        self.folder = pathlib.Path(folder)
        self.cells = make_face_folder(self.folder, 678)

    def bitmap(self, n):
        return self.folder / ("kao%03d.bmp" % n)

    def fill(self, folder, count=None, names=None):
        """Copies bitmap n of the stock (n modulo 678) to the n-th name, kao000.bmp ...
        by default.

        Returns the cells in the order of the names."""
        folder = pathlib.Path(folder)
        folder.mkdir(parents=True, exist_ok=True)
        names = names if names is not None else ["kao%03d.bmp" % n for n in range(count)]
        cells = []
        for n, name in enumerate(names):
            shutil.copyfile(self.bitmap(n % len(self.cells)), folder / name)
            cells.append(self.cells[n % len(self.cells)])
        return cells


@pytest.fixture(scope="session")
def face_stock(tmp_path_factory):
    return FaceStock(tmp_path_factory.mktemp("face_stock") / "KAO_BMP")


def archive_bytes(cells):
    """A face archive as the game keeps it."""
    count = len(cells)
    index = b"".join(struct.pack("<IIII", n * FACE_CELL_SIZE, FACE_CELL_SIZE, FACE_WIDTH,
                                 FACE_HEIGHT) for n in range(count))
    return struct.pack("<i", count) + index + b"".join(cells)


def palette_file_bytes(seed=0, size=1028):
    """A palette file as the game keeps it: a 4-byte header, then 256 entries of red,
    green, blue and an extra byte, each colour part a different function of the index.

    Longer sizes append filler bytes; shorter ones cut the file."""
    entries = b"".join(bytes(((i * 5 + seed) % 256, (255 - i + seed) % 256,
                              (i * 11 + 3 + seed) % 256, i ^ 0x5A)) for i in range(256))
    data = bytes((0x50, 0x41, 0x4C, seed % 256)) + entries
    return (data + bytes((n * 13 + 7) % 256 for n in range(max(0, size - len(data)))))[:size]


def palette_colours(palette_file):
    """The (red, green, blue) colour of each index 0 to 255 of a palette file."""
    return [tuple(palette_file[4 + 4 * i:7 + 4 * i]) for i in range(256)]


# File header and info header of the face bitmaps, the same for every face.
SPLIT_BITMAP8_HEAD = bytes.fromhex("42 4D 36 31 00 00 00 00 00 00 36 04 00 00"
                                   " 28 00 00 00 60 00 00 00 78 00 00 00 01 00 08 00"
                                   " 00 00 00 00 00 2D 00 00" + " 00" * 16)
SPLIT_BITMAP24_HEAD = bytes.fromhex("42 4D 36 87 00 00 00 00 00 00 36 00 00 00"
                                    " 28 00 00 00 60 00 00 00 78 00 00 00 01 00 18 00"
                                    " 00 00 00 00 00 87 00 00" + " 00" * 16)


def split_bitmap8(cell, palette_file):
    """The 8-bit face bitmap that mugcut writes for a cell (top row first): fixed headers,
    the palette as blue, green, red, extra, then the rows bottom first."""
    table = b"".join(bytes((palette_file[6 + 4 * i], palette_file[5 + 4 * i],
                            palette_file[4 + 4 * i], palette_file[7 + 4 * i]))
                     for i in range(256))
    return SPLIT_BITMAP8_HEAD + table + rows_bottom_first(cell)


def split_bitmap24(cell, palette_file):
    """The 24-bit face bitmap that mugcut24 writes for a cell: fixed headers, then the
    rows bottom first, each pixel blue, green, red of its palette colour."""
    bgr = [bytes(reversed(colour)) for colour in palette_colours(palette_file)]
    return SPLIT_BITMAP24_HEAD + b"".join(bgr[index] for index in rows_bottom_first(cell))
