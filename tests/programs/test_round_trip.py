"""The way there and back: mugcut splits an archive of the sample game folder, mugpack
packs the bitmaps into the same archive again."""

import shutil
import subprocess

import pytest

from conftest import FACE_CELL_SIZE, FACE_HEIGHT, FACE_WIDTH, NATIVE_BIN_DIR

BITMAP_PIXELS_AT = 1078


@pytest.fixture(scope="module")
def sample(tmp_path_factory):
    """The generated game folder: SAN7 (678 faces) and SAN6 (648 faces)."""
    folder = tmp_path_factory.mktemp("sample")
    subprocess.run([str(NATIVE_BIN_DIR / "make_sample"), str(folder)], check=True,
                   capture_output=True, timeout=60)
    return folder


def split_into_folder(launcher, game, archive, palette):
    """Puts the archive and palette where mugcut looks by default and splits them into
    KAO_BMP. Returns the game folder."""
    (game / "SAN7").mkdir(parents=True)
    shutil.copyfile(archive, game / "SAN7" / "kaodata.s7")
    shutil.copyfile(palette, game / "SAN7" / "p_kao.s7")
    split = launcher.run("mugcut", b"\n\n", cwd=game)
    assert split.returncode == 0, split.stderr
    return game


def pack(launcher, game):
    packed = launcher.run("mugpack", b"\n", cwd=game)
    assert packed.returncode == 0, packed.stderr
    return (game / "KAO_BMP" / "kaodata.s7").read_bytes()


@pytest.mark.parametrize("edition, archive, palette, count", [
    ("pk", "SAN7/kaodata.s7", "SAN7/p_kao.s7", 678),
    ("normal", "SAN6/kaodata.s6", "SAN6/palette.s6", 648),
], ids=["pk", "normal"])
def test_split_then_pack_gives_the_archive_back(launcher, sample, tmp_path, edition, archive,
                                                palette, count):
    game = split_into_folder(launcher, tmp_path, sample / archive, sample / palette)
    original = (sample / archive).read_bytes()
    assert len(original) == 4 + (16 + FACE_CELL_SIZE) * count

    assert pack(launcher, game) == original


def test_repainted_face_changes_only_its_cell(launcher, sample, tmp_path):
    game = split_into_folder(launcher, tmp_path, sample / "SAN7/kaodata.s7",
                          sample / "SAN7/p_kao.s7")
    face = 123
    bitmap = game / "KAO_BMP" / ("kao%03d.bmp" % face)
    data = bytearray(bitmap.read_bytes())
    # A block of the bitmap's rows 10 to 29 (counted from the bottom), columns 20 to 59,
    # painted over with indices that none of its pixels had before.
    for file_row in range(10, 30):
        for x in range(20, 60):
            at = BITMAP_PIXELS_AT + file_row * FACE_WIDTH + x
            data[at] = (data[at] + 128) % 256
    bitmap.write_bytes(bytes(data))

    packed = pack(launcher, game)

    original = (sample / "SAN7/kaodata.s7").read_bytes()
    start = 4 + 16 * 678 + face * FACE_CELL_SIZE
    end = start + FACE_CELL_SIZE
    assert packed[:start] == original[:start]
    assert packed[end:] == original[end:]
    rows = [bytes(data[BITMAP_PIXELS_AT + k * FACE_WIDTH:BITMAP_PIXELS_AT + (k + 1) * FACE_WIDTH])
            for k in range(FACE_HEIGHT)]
    assert packed[start:end] == b"".join(reversed(rows))
    changed = [n for n in range(FACE_CELL_SIZE) if packed[start + n] != original[start + n]]
    # Cell rows 90 to 109 are file rows 29 to 10.
    assert changed == [row * FACE_WIDTH + x for row in range(90, 110) for x in range(20, 60)]
