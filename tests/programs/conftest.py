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
    """A face cell (top row first) whose bytes depend on the seed and the position."""
    return bytes((seed * 7 + row * 3 + column) % 256 for row in range(FACE_HEIGHT)
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


def archive_bytes(cells):
    """A face archive as the game keeps it."""
    count = len(cells)
    index = b"".join(struct.pack("<IIII", n * FACE_CELL_SIZE, FACE_CELL_SIZE, FACE_WIDTH,
                                 FACE_HEIGHT) for n in range(count))
    return struct.pack("<i", count) + index + b"".join(cells)
