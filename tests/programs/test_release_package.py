"""The release package for players: a zip of the three Windows programs and the
Japanese guide. The programs must run from it under Wine with no other file
beside them. tools/package makes the zip; the test command runs it first."""

import pathlib
import shutil
import zipfile

import pytest

from conftest import (REPO, WINDOWS_BIN_DIR, Launcher, archive_bytes, cell_of,
                      palette_file_bytes)

pytestmark = [
    pytest.mark.wine,
    pytest.mark.skipif(not WINDOWS_BIN_DIR, reason="no Windows build to test under Wine"),
]

PACKAGE = REPO / "dist" / "mugtools-windows.zip"
PROGRAMS = ["mugcut.exe", "mugcut24.exe", "mugpack.exe"]
CLOSING_PROMPT = "プログラムを終了します。何かキーを押してください..."


@pytest.fixture(scope="module")
def unpacked(tmp_path_factory):
    assert PACKAGE.is_file(), "run tools/package first"
    folder = tmp_path_factory.mktemp("package")
    with zipfile.ZipFile(PACKAGE) as package:
        package.extractall(folder)
    return folder / "mugtools"


@pytest.fixture(scope="module")
def packaged(unpacked):
    wine = shutil.which("wine64") or shutil.which("wine")
    return Launcher("wine", unpacked, ".exe", [wine], b"\r\n")


def test_package_holds_the_programs_and_the_guide(unpacked):
    assert sorted(p.name for p in unpacked.iterdir()) == sorted(PROGRAMS + ["readme.txt"])
    guide = (unpacked / "readme.txt").read_bytes()
    text = guide.decode("cp932")
    assert guide.count(b"\r\n") == guide.count(b"\n") > 0
    for program in PROGRAMS:
        assert program in text
    assert "Error:顔グラファイル数が正しくありません" in text


@pytest.mark.parametrize("program, folder, archive, palette, depth", [
    ("mugcut", "SAN7", "kaodata.s7", "p_kao.s7", 8),
    ("mugcut24", "SAN6", "kaodata.s6", "palette.s6", 24),
])
def test_splitters_run_from_the_package(packaged, tmp_path, program, folder, archive, palette,
                                        depth):
    game = tmp_path / folder
    game.mkdir()
    (game / archive).write_bytes(archive_bytes([cell_of(n) for n in range(3)]))
    (game / palette).write_bytes(palette_file_bytes())
    result = packaged.run(program, b"\n\n", cwd=tmp_path)
    assert result.returncode == 0, result.stderr
    output = next(p for p in tmp_path.iterdir() if p.is_dir() and p.name != folder)
    sizes = {p.name: p.stat().st_size for p in output.iterdir()}
    bitmap_size = 12598 if depth == 8 else 34614
    assert {name: sizes[name] for name in ("kao000.bmp", "kao001.bmp", "kao002.bmp")} == dict.fromkeys(
        ("kao000.bmp", "kao001.bmp", "kao002.bmp"), bitmap_size)
    assert packaged.text("完了.\n") in result.stdout


def test_packer_runs_from_the_package(packaged, tmp_path):
    result = packaged.run("mugpack", b"\n", cwd=tmp_path)
    assert result.returncode == 1
    assert result.stderr == packaged.text("Error:BMPファイルがありません\n" + CLOSING_PROMPT)
