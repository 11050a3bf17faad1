"""Failures that the operating system itself brings about, with the normal build: a full
device behind an output file, and a folder where an output file should be.

test_mugpack.py and test_splitters.py already cover the file size limits of the archive,
a bitmap and the page; a bitmap and the page on a full device; an output folder that is
a file; the archive, the palette file, kaodata.s7 and the page as folders; and a folder
named like a bitmap in mugpack's folder. What they leave out is here."""

import os
import pathlib
import stat

import pytest

from conftest import STREAM_BUFFER_SIZE, archive_bytes, cell_of, palette_file_bytes, \
    split_bitmap8, split_bitmap24

CLOSING_PROMPT = "プログラムを終了します。何かキーを押してください..."
FULL_DEVICE = pathlib.Path("/dev/full")


def console(launcher, *texts):
    return b"".join(launcher.text(text) for text in texts)


# --- mugpack: the archive on a full device -----------------------------------------------


def archive_writes(count):
    """The archive's writes in order: (piece, face, row, length)."""
    yield "count", None, None, 4
    for _ in range(count):
        yield "index", None, None, 16
    for face in range(count):
        for row in range(120):
            yield "cell", face, row, 96


def first_flush(count, buffer_size):
    """The write at which the stream first writes out its buffer: the first that does not
    fit in what is left of it. On a full device that write comes up short. Returns (piece,
    face, row), or ("close", None, None) when everything fits until the close."""
    held = 0
    for piece, face, row, length in archive_writes(count):
        if held + length > buffer_size:
            return piece, face, row
        held += length
    return "close", None, None


def pack_stdout(launcher, count, face=None, marks=0):
    """Standard output up to the edition line; with a face, the finished lines of the
    faces before it and its begun line with its marks."""
    mark = "[PK版]" if count == 678 else "[通常版]"
    text = ("三国志7 顔グラ結合(8bitBMPファイル群 → kaodata.s7)\n"
            "BMPファイルのフォルダ( KAO_BMP )>BMP FilePath = KAO_BMP\\kao???.bmp\n"
            "kaodata OutputFilePath = KAO_BMP\\kaodata.s7\n"
            "%sBMPファイル数 = %d (顔グラNo = 0 ～ %d)\n" % (mark, count, count - 1))
    if face is not None:
        for n in range(face):
            path = "KAO_BMP\\kao%03d.bmp" % n
            text += "%s ..........    \r%s %s ok\r" % (path, path, "o" * 10)
        path = "KAO_BMP\\kao%03d.bmp" % face
        text += "%s ..........    \r%s %s" % (path, path, "o" * marks)
    return launcher.text(text)


PACK_FAILURES = {
    "count": ("Error:顔グラファイル KAO_BMP\\kaodata.s7 顔グラ個数書き込み失敗\n", 2),
    "index": ("Error:顔グラファイル KAO_BMP\\kaodata.s7 顔グラ情報書き込み失敗\n", 2),
    "cell": ("\nError:顔グラファイル KAO_BMP\\kaodata.s7 ビットマップデータ書き込み失敗\n", 1),
    "close": ("\nError:顔グラファイル KAO_BMP\\kaodata.s7 ビットマップデータ書き込み失敗\n", 1),
}


@pytest.mark.parametrize("count", [648, 678])
def test_archive_on_full_device(native, face_stock, tmp_path, count):
    folder = tmp_path / "KAO_BMP"
    face_stock.fill(folder, count)
    (folder / "kaodata.s7").symlink_to(FULL_DEVICE)
    piece, face, row = first_flush(count, STREAM_BUFFER_SIZE)

    result = native.run("mugpack", b"\n", cwd=tmp_path)

    message, status = PACK_FAILURES[piece]
    if piece in ("count", "index"):
        stdout = pack_stdout(native, count)
    else:
        stdout = pack_stdout(native, count, count if piece == "close" else face,
                             10 if piece == "close" else row // 12)
    assert result.stdout == stdout
    assert result.stderr == console(native, message, CLOSING_PROMPT)
    assert result.returncode == status
    # The clean-up deletes the archive's path: the link goes, the device stays.
    assert sorted(os.listdir(folder)) == ["kao%03d.bmp" % n for n in range(count)]
    assert stat.S_ISCHR(os.stat(FULL_DEVICE).st_mode)


# --- splitters: a folder where a bitmap should be ----------------------------------------

SPLITTERS = {
    "mugcut": ("三国志7 顔グラ分割(kaoadata.s7 → 8bitBMPファイル)", "SAN7", "kaodata.s7",
               "p_kao.s7", "KAO_BMP", split_bitmap8, False),
    "mugcut24": ("三国志6 顔グラ分割(kaodata.s6 → 24bitBMPファイル)", "SAN6", "kaodata.s6",
                 "palette.s6", "KAO_S6_24BMP", split_bitmap24, True),
}


@pytest.mark.parametrize("program", sorted(SPLITTERS))
@pytest.mark.parametrize("face", [0, 1])
def test_folder_in_place_of_bitmap(launcher, tmp_path, program, face):
    title, game, archive, palette_name, out, bitmap, prompt_on_stdout = SPLITTERS[program]
    cells = [cell_of(20 + n) for n in range(3)]
    palette = palette_file_bytes(seed=5)
    (tmp_path / game).mkdir()
    (tmp_path / game / archive).write_bytes(archive_bytes(cells))
    (tmp_path / game / palette_name).write_bytes(palette)
    folder = tmp_path / out
    (folder / ("kao%03d.bmp" % face)).mkdir(parents=True)
    (folder / ("kao%03d.bmp" % face) / "inside").write_bytes(b"kept")

    result = launcher.run(program, b"\n\n", cwd=tmp_path)

    path = "%s\\kao%03d.bmp" % (out, face)
    stdout = console(launcher, title + "\n", "顔グラファイル名( %s\\%s )>" % (game, archive),
                     "InputFilePath = %s\\%s\n" % (game, archive),
                     "出力フォルダ( %s )>OutputFilePath = %s\n" % (out, out),
                     "顔グラNo = 0 ～ 2\n")
    for n in range(face):
        done = "%s\\kao%03d.bmp" % (out, n)
        stdout += console(launcher, "%s ..........    \r%s  %s ok \r" % (done, done, "o" * 10))
    stderr = console(launcher, "Error:BMPファイル %s を作成できません\n" % path)
    if prompt_on_stdout:
        stdout += console(launcher, CLOSING_PROMPT)
    else:
        stderr += console(launcher, CLOSING_PROMPT)
    assert result.stdout == stdout
    assert result.stderr == stderr
    assert result.returncode == 2
    # The bitmaps before it stay complete; the folder is left as it was; no page.
    assert sorted(os.listdir(folder)) == ["kao%03d.bmp" % n for n in range(face + 1)]
    for n in range(face):
        assert (folder / ("kao%03d.bmp" % n)).read_bytes() == bitmap(cells[n], palette)
    assert os.listdir(folder / ("kao%03d.bmp" % face)) == ["inside"]
    assert (folder / ("kao%03d.bmp" % face) / "inside").read_bytes() == b"kept"
