"""Whole-program runs of mugcut and mugcut24: console bytes, exit status and the files
they write."""

import os
import pathlib
import re
import resource
import signal
import struct
import subprocess

import pytest

from conftest import FACE_CELL_SIZE, FACE_HEIGHT, FACE_WIDTH, STREAM_BUFFER_SIZE, archive_bytes, \
    cell_of, palette_file_bytes, split_bitmap8, split_bitmap24

CLOSING_PROMPT = "プログラムを終了します。何かキーを押してください..."
TILDE = "\uff5e"  # FULLWIDTH TILDE, CP932 81 60


class Splitter:
    """What makes the one splitter routine into mugcut or into mugcut24."""

    def __init__(self, program, title, archive, palette_base, palette_message, folder,
                 count_message, bitmap, bitmap_size, depth, page_name, page_title,
                 captioned, prompt_on_stdout):
        self.program = program
        self.title = title
        self.archive = archive
        self.palette_base = palette_base
        self.extension = archive[archive.rindex("."):]
        self.palette = archive[:archive.rindex("\\") + 1] + palette_base + self.extension
        self.palette_message = palette_message
        self.folder = folder
        self.count_message = count_message
        self.bitmap = bitmap
        self.bitmap_size = bitmap_size
        self.depth = depth
        self.page_name = page_name
        self.page_title = page_title
        self.captioned = captioned
        self.prompt_on_stdout = prompt_on_stdout

    def __repr__(self):
        return self.program


MUGCUT = Splitter(
    program="mugcut",
    title="三国志7 顔グラ分割(kaoadata.s7 → 8bitBMPファイル)",
    archive="SAN7\\kaodata.s7",
    palette_base="p_kao",
    palette_message="Error:p_kao.s7ファイルからパレット情報を読めません\n",
    folder="KAO_BMP",
    count_message="Error:kaodata.s7ファイルから顔グラ個数を読めません\n",
    bitmap=split_bitmap8,
    bitmap_size=12598,
    depth=8,
    page_name="kao_bmp.html",
    page_title="三国志\uff17 顔グラ一覧(%d)",
    captioned=True,
    prompt_on_stdout=False,
)
MUGCUT24 = Splitter(
    program="mugcut24",
    title="三国志6 顔グラ分割(kaodata.s6 → 24bitBMPファイル)",
    archive="SAN6\\kaodata.s6",
    palette_base="palette",
    palette_message="Error:palette.s6ファイルからパレット情報を読めません\n",
    folder="KAO_S6_24BMP",
    count_message="Error:kaodata.s6ファイルから顔グラ個数を読めません\n",
    bitmap=split_bitmap24,
    bitmap_size=34614,
    depth=24,
    page_name="kao_s6bmp.html",
    page_title="三国志6 顔グラ一覧(%d)",
    captioned=False,
    prompt_on_stdout=True,
)


@pytest.fixture(params=[MUGCUT, MUGCUT24], ids=["mugcut", "mugcut24"])
def splitter(request):
    return request.param


# --- helpers ---------------------------------------------------------------------------


def place(root, program_path):
    """Where a relative program path lands: every backslash is a folder separator."""
    raw = program_path if isinstance(program_path, bytes) else program_path.encode("cp932")
    return pathlib.Path(root) / os.fsdecode(raw.replace(b"\\", b"/"))


def console(launcher, *parts):
    """Console bytes: texts through the launcher, bytes unchanged."""
    return b"".join(part if isinstance(part, bytes) else launcher.text(part) for part in parts)


def opening(launcher, s, archive=None, folder=None, count=None):
    """Title, the archive question and its echo line; with a folder, the folder question
    and its echo line; with a count, the face-number line."""
    archive = s.archive if archive is None else archive
    text = console(launcher, s.title + "\n", "顔グラファイル名( %s )>" % s.archive,
                   "InputFilePath = ", archive, "\n")
    if folder is not None:
        text += console(launcher, "出力フォルダ( %s )>" % s.folder, "OutputFilePath = ",
                        folder, "\n")
    if count is not None:
        text += console(launcher, "顔グラNo = 0 %s %d\n" % (TILDE, count - 1))
    return text


def bitmap_path(folder, n):
    return folder + "\\kao%03d.bmp" % n


def progress(launcher, path, marks=10, finished=True):
    return console(launcher, path, " ..........    \r", path, "  " + "o" * marks,
                   " ok \r" if finished else "")


def faces_done(launcher, folder, count):
    return b"".join(progress(launcher, bitmap_path(folder, n)) for n in range(count))


def split_stdout(launcher, s, folder, count, archive=None):
    """Standard output of a complete run up to, not including, the closing prompt."""
    return (opening(launcher, s, archive, folder, count) + faces_done(launcher, folder, count)
            + console(launcher, "\n", folder + "\\" + s.page_name + " ok\n", "完了.\n"))


def closing(launcher, s, stdout, message=None):
    """(standard output, standard error) of a run that ends with the closing prompt, after
    the message if there is one."""
    stderr = console(launcher, message) if message is not None else b""
    if s.prompt_on_stdout:
        return stdout + console(launcher, CLOSING_PROMPT), stderr
    return stdout, stderr + console(launcher, CLOSING_PROMPT)


def assert_run(result, expected, status):
    assert (result.stdout, result.stderr) == expected
    assert result.returncode == status


def run(launcher, s, cwd, archive=b"", folder=b""):
    return launcher.run(s.program, archive + b"\n" + folder + b"\n", cwd=cwd)


def make_game(root, s, cells=None, archive=None, palette=None, archive_path=None,
              palette_path=None):
    """Puts an archive (of the cells, or the given bytes) and a palette file at the
    default paths, or at the given program paths. Returns the palette file's bytes."""
    archive = archive_bytes(cells) if archive is None else archive
    palette = palette_file_bytes(3) if palette is None else palette
    for path, data in ((archive_path or s.archive, archive), (palette_path or s.palette,
                                                              palette)):
        target = place(root, path)
        target.parent.mkdir(parents=True, exist_ok=True)
        target.write_bytes(data)
    return palette


def tree(root):
    """Every path under root with its content (None for folders and links)."""
    found = {}
    for dirpath, dirnames, filenames in os.walk(root):
        for name in dirnames + filenames:
            path = pathlib.Path(dirpath) / name
            found[path.relative_to(root)] = (
                None if path.is_dir() or path.is_symlink() else path.read_bytes())
    return found


def bitmap_names(count):
    return ["kao%03d.bmp" % n for n in range(count)]


def assert_bitmaps(folder, s, cells, palette):
    for n, cell in enumerate(cells):
        assert (folder / ("kao%03d.bmp" % n)).read_bytes() == s.bitmap(cell, palette), n


PAGE_HEAD = ('<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01//EN">\n<html lang="ja">\n<head>\n'
             '<meta http-equiv="Content-Type" content="text/html; charset=shift_jis">\n'
             '<meta http-equiv="Content-Style-Type" content="text/css">\n')
PAGE_STYLE = ('<style type="text/css">\n<!--\ntd {text-align:center; padding:0px 0px 5px 0px;}'
              '\n-->\n</style></head>\n<body>\n<table border=1>\n<tr>')
PAGE_END = "</tr></table>\n</body>\n</html>\n"
CAPTION = "\0caption\0"


def page_text(s, count, caption=""):
    """The index page, with every caption of the captioned page given by caption."""
    text = PAGE_HEAD + "<title>" + s.page_title % count + "</title>\n" + PAGE_STYLE
    for n in range(count):
        text += '<td><img src="kao%03d.bmp" width="96" height="120" alt="顔グラNo.%d">' \
                '<br>顔No.%d' % (n, n, n)
        text += ("<br>" + caption if s.captioned else "") + "</td>"
        if (n + 1) % 10 == 0:
            text += "</tr>\n<tr>"
    return (text + PAGE_END).encode("cp932").replace(b"\n", b"\r\n")


def assert_page(path, s, count):
    """The page of count faces; a caption is any 2 to 10 bytes without markup."""
    pattern = re.escape(page_text(s, count, CAPTION)).replace(
        re.escape(CAPTION.encode()), b"[^<>\r\n]{2,10}")
    assert re.fullmatch(pattern, path.read_bytes(), re.DOTALL)


# --- file size limits --------------------------------------------------------------------


def bitmap_writes(s):
    """The writes that make one face bitmap: (piece, file row, length)."""
    yield "file_header", None, 14
    yield "info_header", None, 40
    if s.depth == 8:
        yield "colour_table", None, 1024
    for row in range(FACE_HEIGHT):
        yield "pixel_data", row, FACE_WIDTH * s.depth // 8


def first_failed_write(s, limit, buffer_size):
    """Where a file size limit stops a bitmap, given the stdio buffer of its stream: the
    buffer is written out only when a write does not fit in it, and at the close.

    Returns (piece, row), ("close", None) or None."""
    written = 0
    held = 0
    for piece, row, length in bitmap_writes(s):
        if held + length > buffer_size:
            if written + buffer_size > limit:
                return piece, row
            written += buffer_size
            held = held + length - buffer_size
        else:
            held += length
    if written + held > limit:
        return "close", None
    return None


PIECE_MESSAGES = {
    "file_header": "\nError:BMPファイル %s BMPヘッダ書き込み失敗\n",
    "info_header": "\nError:BMPファイル %s BMP情報書き込み失敗\n",
    "colour_table": "\nError:BMPファイル %s BMPパレット書き込み失敗\n",
    "pixel_data": "\nError:BMPファイル %s ビットマップデータ書き込み失敗\n",
    # A bitmap whose last bytes are lost at the close counts as lost pixel data.
    "close": "\nError:BMPファイル %s ビットマップデータ書き込み失敗\n",
}


def limited_file_size(limit):
    def limit_in_child():
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
    return limit_in_child


def run_limited(native, s, cwd, limit):
    return subprocess.run(native.command(s.program), input=b"\n\n", capture_output=True,
                          cwd=cwd, timeout=60, start_new_session=True,
                          preexec_fn=limited_file_size(limit))


# --- complete runs -----------------------------------------------------------------------

# Twelve faces: cells whose bytes run through every value, and two of one value each.
TWELVE_CELLS = [cell_of(n) for n in range(10)] + [b"\0" * FACE_CELL_SIZE,
                                                  b"\xff" * FACE_CELL_SIZE]


def test_run_with_defaults(launcher, splitter, tmp_path):
    s = splitter
    palette = make_game(tmp_path, s, TWELVE_CELLS)

    result = run(launcher, s, tmp_path)

    assert_run(result, closing(launcher, s, split_stdout(launcher, s, s.folder, 12)), 0)
    folder = tmp_path / s.folder
    assert sorted(os.listdir(folder)) == bitmap_names(12) + [s.page_name]
    assert_bitmaps(folder, s, TWELVE_CELLS, palette)
    assert_page(folder / s.page_name, s, 12)


@pytest.mark.parametrize("change", ["bytes-after-last-cell", "other-index-entries",
                                    "palette-of-2000-bytes"])
def test_what_is_not_read_changes_nothing(launcher, splitter, tmp_path, change):
    s = splitter
    cells = [cell_of(n + 40) for n in range(4)]
    archive = archive_bytes(cells)
    palette = palette_file_bytes(9)
    if change == "bytes-after-last-cell":
        archive += b"\xee" * 20000
    elif change == "other-index-entries":
        index = b"".join(struct.pack("<IIII", 7, 1, 2, 3 + n) for n in range(4))
        archive = archive[:4] + index + archive[4 + 16 * 4:]
    else:
        palette = palette_file_bytes(9, size=2000)
    make_game(tmp_path, s, archive=archive, palette=palette)

    result = run(launcher, s, tmp_path)

    assert_run(result, closing(launcher, s, split_stdout(launcher, s, s.folder, 4)), 0)
    assert_bitmaps(tmp_path / s.folder, s, cells, palette[:1028])


@pytest.mark.parametrize("count, shown", [
    (0, "-1"),
    (-1, "-2"),
    (-2147483648, "-2147483649"),
], ids=["zero", "minus-one", "lowest"])
def test_archive_without_faces(launcher, splitter, tmp_path, count, shown):
    s = splitter
    make_game(tmp_path, s, archive=struct.pack("<i", count) + cell_of(1))

    result = run(launcher, s, tmp_path)

    stdout = (opening(launcher, s, folder=s.folder)
              + console(launcher, "顔グラNo = 0 %s %s\n" % (TILDE, shown), "\n",
                        s.folder + "\\" + s.page_name + " ok\n", "完了.\n"))
    assert_run(result, closing(launcher, s, stdout), 0)
    assert os.listdir(tmp_path / s.folder) == [s.page_name]
    assert (tmp_path / s.folder / s.page_name).read_bytes() == page_text(s, count)


def test_second_run_replaces_its_files_only(launcher, splitter, tmp_path):
    s = splitter
    make_game(tmp_path, s, [cell_of(n) for n in range(12)])
    assert run(launcher, s, tmp_path).returncode == 0
    folder = tmp_path / s.folder
    (folder / "notes.txt").write_bytes(b"mine")
    first_page = (folder / s.page_name).read_bytes()
    later_cells = [cell_of(n + 100) for n in range(5)]
    palette = make_game(tmp_path, s, later_cells, palette=palette_file_bytes(77))

    result = run(launcher, s, tmp_path)

    assert_run(result, closing(launcher, s, split_stdout(launcher, s, s.folder, 5)), 0)
    assert_bitmaps(folder, s, later_cells, palette)
    for n in range(5, 12):
        assert (folder / ("kao%03d.bmp" % n)).read_bytes() == s.bitmap(
            cell_of(n), palette_file_bytes(3))
    assert (folder / "notes.txt").read_bytes() == b"mine"
    assert_page(folder / s.page_name, s, 5)
    assert len((folder / s.page_name).read_bytes()) < len(first_page)


# --- typed paths -------------------------------------------------------------------------


@pytest.mark.parametrize("answer, palette, decoy, native_only", [
    ("sub\\faces{ext}", "sub\\{base}{ext}", None, False),
    ("sub/faces{ext}", "sub/{base}{ext}", None, False),
    ("a\\b\\c\\kaodata{ext}", "a\\b\\c\\{base}{ext}", None, False),
    ("kaodata{ext}", "{base}{ext}", None, False),
    ("sub\\faces.DAT", "sub\\{base}.DAT", None, False),
    ("sub\\x.y.z", "sub\\{base}.z", None, False),
    ("a.b\\faces", "a.b\\{base}", None, False),
    ("C:kaodata{ext}", "C:{base}{ext}", None, True),
    ("表\\kaodata{ext}", "表\\{base}{ext}", None, True),
    ("表kaodata{ext}", "{base}{ext}", "表\\{base}{ext}", True),
], ids=["folder", "slash", "nested", "no-folder", "extension-case", "last-dot",
        "dot-in-folder-only", "drive-without-folder", "double-byte-folder",
        "double-byte-5c-not-separator"])
def test_palette_beside_typed_archive(launcher, splitter, tmp_path, answer, palette, decoy,
                                      native_only):
    if native_only and launcher.name != "native":
        pytest.skip("names that only a POSIX file system keeps as typed")
    s = splitter
    answer = answer.format(ext=s.extension)
    palette = palette.format(base=s.palette_base, ext=s.extension)
    cells = [cell_of(n + 7) for n in range(3)]
    colours = make_game(tmp_path, s, cells, archive_path=answer, palette_path=palette,
                        palette=palette_file_bytes(21))
    if decoy is not None:
        make_game(tmp_path, s, cells, archive_path=answer,
                  palette_path=decoy.format(base=s.palette_base, ext=s.extension),
                  palette=palette_file_bytes(99))

    result = run(launcher, s, tmp_path, answer.encode("cp932"))

    stdout = split_stdout(launcher, s, s.folder, 3, archive=answer)
    assert_run(result, closing(launcher, s, stdout), 0)
    assert_bitmaps(tmp_path / s.folder, s, cells, colours)

    place(tmp_path, palette).unlink()
    result = run(launcher, s, tmp_path, answer.encode("cp932"))

    stdout = opening(launcher, s, archive=answer)
    message = "Error:%s ファイルがありません\n" % palette
    assert_run(result, closing(launcher, s, stdout, message), 1)


@pytest.mark.parametrize("answer, folder, parents", [
    ("out\\", "out\\KAO", ["out"]),
    ("out\\deeper\\", "out\\deeper\\KAO", ["out", "out/deeper"]),
    ("faces", "faces", []),
    ("out\\faces", "out\\faces", ["out"]),
    ("100%s%d", "100%s%d", []),
], ids=["trailing-backslash", "nested-trailing-backslash", "plain", "in-folder", "percent"])
def test_typed_output_folder(launcher, splitter, tmp_path, answer, folder, parents):
    s = splitter
    folder = folder.replace("KAO", s.folder)
    for parent in parents:
        (tmp_path / parent).mkdir()
    palette = make_game(tmp_path, s, TWELVE_CELLS[:3])

    result = run(launcher, s, tmp_path, folder=answer.encode())

    assert_run(result, closing(launcher, s, split_stdout(launcher, s, folder, 3)), 0)
    assert_bitmaps(place(tmp_path, folder), s, TWELVE_CELLS[:3], palette)
    assert_page(place(tmp_path, folder) / s.page_name, s, 3)


def test_long_output_folder(native, splitter, tmp_path):
    # Longer than the home platform's path limit: POSIX only.
    s = splitter
    levels = ["level%d-" % n + "x" * 60 for n in range(5)]
    (tmp_path.joinpath(*levels)).mkdir(parents=True)
    folder = "\\".join(levels + [s.folder])
    assert len(folder) > 300
    palette = make_game(tmp_path, s, TWELVE_CELLS[:2])

    result = run(native, s, tmp_path, folder=folder.encode())

    assert_run(result, closing(native, s, split_stdout(native, s, folder, 2)), 0)
    assert_bitmaps(place(tmp_path, folder), s, TWELVE_CELLS[:2], palette)
    assert_page(place(tmp_path, folder) / s.page_name, s, 2)


# --- failures ----------------------------------------------------------------------------


@pytest.mark.parametrize("case", ["nothing", "no-archive", "archive-is-folder", "no-palette",
                                  "palette-is-folder", "palette-1027-bytes",
                                  "typed-archive-short-palette"])
def test_input_unusable(launcher, splitter, tmp_path, case):
    s = splitter
    archive = s.archive
    cells = [cell_of(1)]
    if case == "nothing":
        # The archive is opened first: its message, though the palette is missing too.
        message = "Error:%s ファイルがありません\n" % s.archive
    elif case == "no-archive":
        place(tmp_path, s.palette).parent.mkdir()
        place(tmp_path, s.palette).write_bytes(palette_file_bytes())
        message = "Error:%s ファイルがありません\n" % s.archive
    elif case == "archive-is-folder":
        make_game(tmp_path, s, cells, archive_path=s.archive + "x")
        place(tmp_path, s.archive).mkdir()
        message = "Error:%s ファイルがありません\n" % s.archive
    elif case == "no-palette":
        make_game(tmp_path, s, cells, palette_path=s.palette + "x")
        message = "Error:%s ファイルがありません\n" % s.palette
    elif case == "palette-is-folder":
        make_game(tmp_path, s, cells, palette_path=s.palette + "x")
        place(tmp_path, s.palette).mkdir()
        message = "Error:%s ファイルがありません\n" % s.palette
    elif case == "palette-1027-bytes":
        make_game(tmp_path, s, cells, palette=palette_file_bytes(size=1027))
        message = s.palette_message
    else:
        # The message names the program's own palette file, whatever was opened.
        archive = "sub\\faces.bin"
        make_game(tmp_path, s, cells, archive_path=archive,
                  palette_path="sub\\" + s.palette_base + ".bin",
                  palette=palette_file_bytes(size=4))
        message = s.palette_message
    before = tree(tmp_path)

    result = run(launcher, s, tmp_path, archive.encode())

    assert_run(result, closing(launcher, s, opening(launcher, s, archive), message), 1)
    assert tree(tmp_path) == before


@pytest.mark.parametrize("size", [0, 3])
def test_archive_without_face_count(launcher, splitter, tmp_path, size):
    s = splitter
    make_game(tmp_path, s, archive=b"\x05\x00\x00"[:size])

    result = run(launcher, s, tmp_path)

    # Both questions are answered and the folder is made before the count is read.
    stdout = opening(launcher, s, folder=s.folder)
    assert_run(result, closing(launcher, s, stdout, s.count_message), 1)
    assert os.listdir(tmp_path / s.folder) == []


@pytest.mark.parametrize("count, present, end, failed", [
    (8, 8, 4 + 16 * 8 + 5 * FACE_CELL_SIZE + 5000, 5),
    (8, 8, 4 + 16 * 8 + 5 * FACE_CELL_SIZE, 5),
    (8, 8, 4 + 16 * 8 + 8 * FACE_CELL_SIZE - 1, 7),
    (10, 3, None, 3),
    (2147483647, 1, None, 0),
], ids=["ends-inside-face-5", "ends-before-face-5", "last-byte-missing",
        "count-beyond-cells", "highest-count"])
def test_face_cannot_be_read(launcher, splitter, tmp_path, count, present, end, failed):
    s = splitter
    cells = [cell_of(n + 3) for n in range(present)]
    # The cells stand where the count puts them, after an index of count entries; the
    # highest count puts them beyond any file.
    index = b"\x11" * (16 * count if count < 1000 else 16)
    archive = struct.pack("<i", count) + index + b"".join(cells)
    palette = make_game(tmp_path, s, archive=archive[:end])

    result = run(launcher, s, tmp_path)

    stdout = (opening(launcher, s, folder=s.folder, count=count)
              + faces_done(launcher, s.folder, failed))
    message = "Error:顔No.%03dのビットマップデータを正しく読めません\n" % failed
    assert_run(result, closing(launcher, s, stdout, message), 1)
    folder = tmp_path / s.folder
    assert sorted(os.listdir(folder)) == bitmap_names(failed)
    assert_bitmaps(folder, s, cells[:failed], palette)


@pytest.mark.parametrize("answer, make", [
    ("NOPE\\X", None),
    ("out\\", None),
    ("taken", "file"),
], ids=["parent-missing", "trailing-backslash-parent-missing", "file-in-the-way"])
def test_output_folder_cannot_hold_bitmaps(launcher, splitter, tmp_path, answer, make):
    s = splitter
    folder = answer + s.folder if answer.endswith("\\") else answer
    if make == "file":
        (tmp_path / answer).write_bytes(b"not a folder")
    make_game(tmp_path, s, [cell_of(1), cell_of(2)])
    before = tree(tmp_path)

    result = run(launcher, s, tmp_path, folder=answer.encode())

    stdout = opening(launcher, s, folder=folder, count=2)
    message = "Error:BMPファイル %s を作成できません\n" % bitmap_path(folder, 0)
    assert_run(result, closing(launcher, s, stdout, message), 2)
    assert tree(tmp_path) == before


@pytest.mark.parametrize("limit", ["nothing", "inside-headers", "half", "one-byte-short",
                                   "whole-bitmap"])
def test_bitmap_write_stopped_by_file_size_limit(native, splitter, tmp_path, limit):
    s = splitter
    limit = {"nothing": 0, "inside-headers": 50, "half": s.bitmap_size // 2,
             "one-byte-short": s.bitmap_size - 1, "whole-bitmap": s.bitmap_size}[limit]
    cells = [cell_of(n) for n in range(3)]
    palette = make_game(tmp_path, s, cells)
    failed = first_failed_write(s, limit, STREAM_BUFFER_SIZE)

    result = run_limited(native, s, tmp_path, limit)

    folder = tmp_path / s.folder
    if failed is None:
        assert_run(result, closing(native, s, split_stdout(native, s, s.folder, 3)), 0)
        assert_bitmaps(folder, s, cells, palette)
        return
    piece, row = failed
    marks = 10 if piece == "close" else row // 12
    path = bitmap_path(s.folder, 0)
    stdout = (opening(native, s, folder=s.folder, count=3)
              + progress(native, path, marks, finished=False))
    assert_run(result, closing(native, s, stdout, PIECE_MESSAGES[piece] % path), 2)
    assert os.listdir(folder) == []


def test_failed_bitmap_leaves_earlier_ones(native, splitter, tmp_path):
    s = splitter
    cells = [cell_of(n) for n in range(6)]
    palette = make_game(tmp_path, s, cells)
    folder = tmp_path / s.folder
    folder.mkdir()
    (folder / "kao003.bmp").symlink_to("/dev/full")
    piece, row = first_failed_write(s, 0, STREAM_BUFFER_SIZE)

    result = run(native, s, tmp_path)

    path = bitmap_path(s.folder, 3)
    stdout = (opening(native, s, folder=s.folder, count=6) + faces_done(native, s.folder, 3)
              + progress(native, path, 10 if piece == "close" else row // 12,
                         finished=False))
    assert_run(result, closing(native, s, stdout, PIECE_MESSAGES[piece] % path), 2)
    assert sorted(os.listdir(folder)) == bitmap_names(3)
    assert_bitmaps(folder, s, cells[:3], palette)


def test_page_cannot_be_created(launcher, splitter, tmp_path):
    s = splitter
    palette = make_game(tmp_path, s, TWELVE_CELLS)
    folder = tmp_path / s.folder
    (folder / s.page_name).mkdir(parents=True)

    result = run(launcher, s, tmp_path)

    stdout = opening(launcher, s, folder=s.folder, count=12) \
        + faces_done(launcher, s.folder, 12) + console(launcher, "\n")
    message = "Error:顔グラ一覧HTML %s\\%s を作成できません\n" % (s.folder, s.page_name)
    assert_run(result, closing(launcher, s, stdout, message), 2)
    assert sorted(os.listdir(folder)) == bitmap_names(12) + [s.page_name]
    assert os.listdir(folder / s.page_name) == []
    assert_bitmaps(folder, s, TWELVE_CELLS, palette)


@pytest.mark.parametrize("how", ["file-size-limit", "full-device"])
def test_page_write_fails(native, splitter, tmp_path, how):
    s = splitter
    if how == "file-size-limit":
        # Every bitmap just fits under the limit; the page of this many faces does not.
        count = 200 if s.captioned else 480
        assert len(page_text(s, count)) > s.bitmap_size
    else:
        count = 4
    cells = [cell_of(n) for n in range(count)]
    palette = make_game(tmp_path, s, cells)
    folder = tmp_path / s.folder
    if how == "file-size-limit":
        result = run_limited(native, s, tmp_path, s.bitmap_size)
    else:
        folder.mkdir()
        (folder / s.page_name).symlink_to("/dev/full")
        result = run(native, s, tmp_path)

    stdout = opening(native, s, folder=s.folder, count=count) \
        + faces_done(native, s.folder, count) + console(native, "\n")
    message = "Error:顔グラ一覧HTML %s\\%s を作成できません\n" % (s.folder, s.page_name)
    assert_run(result, closing(native, s, stdout, message), 2)
    assert sorted(os.listdir(folder)) == bitmap_names(count)
    assert_bitmaps(folder, s, cells, palette)
