"""Whole-program runs of mugpack: console bytes, exit status and the files left behind."""

import os
import pathlib
import resource
import shutil
import signal
import stat
import struct
import subprocess

import pytest

from conftest import FACE_CELL_SIZE, FACE_HEIGHT, FACE_WIDTH, STREAM_BUFFER_SIZE, archive_bytes, \
    bitmap_bytes, cell_of, rows_bottom_first

TITLE = "三国志7 顔グラ結合(8bitBMPファイル群 → kaodata.s7)\n"
QUESTION = "BMPファイルのフォルダ( KAO_BMP )>"
CLOSING_PROMPT = "プログラムを終了します。何かキーを押してください..."
NO_BITMAPS = "Error:BMPファイルがありません\n"
PK_COUNT = 678
NORMAL_COUNT = 648
PK_ARCHIVE_SIZE = 7821412
NORMAL_ARCHIVE_SIZE = 7475332


def pk_names(first=0, count=PK_COUNT):
    return ["kao%03d.bmp" % n for n in range(first, first + count)]


def listing_order(names):
    """Byte order after folding a-z to A-Z."""
    def folded(name):
        return bytes(b - 32 if 0x61 <= b <= 0x7A else b for b in os.fsencode(name))
    return sorted(names, key=folded)


def console(launcher, *parts):
    """Console bytes: texts through the launcher, bytes (paths as the file system has
    them) unchanged."""
    return b"".join(part if isinstance(part, bytes) else launcher.text(part) for part in parts)


def as_bytes(path):
    return path if isinstance(path, bytes) else os.fsencode(path)


def joined(folder, name):
    """A program path: folder, a backslash and the name."""
    if isinstance(folder, bytes) or isinstance(name, bytes) or not name.isascii():
        return as_bytes(folder) + b"\\" + as_bytes(name)
    return folder + "\\" + name


def opening(launcher, folder):
    """Title, question and the two path lines."""
    return console(launcher, TITLE, QUESTION, "BMP FilePath = ", folder, "\\kao???.bmp\n",
                   "kaodata OutputFilePath = ", folder, "\\kaodata.s7\n")


def edition_line(count):
    mark = "[PK版]" if count == PK_COUNT else "[通常版]"
    return "%sBMPファイル数 = %d (顔グラNo = 0 ～ %d)\n" % (mark, count, count - 1)


def progress(launcher, path, marks=10, finished=True):
    return console(launcher, path, " ..........    \r", path, " " + "o" * marks,
                   " ok\r" if finished else "")


def packed_stdout(launcher, folder, names):
    """Standard output of a complete run over the names in listing order."""
    lines = [progress(launcher, joined(folder, name)) for name in names]
    return (opening(launcher, folder) + console(launcher, edition_line(len(names)))
            + b"".join(lines) + console(launcher, "\n完了.\n"))


def stopped_stdout(launcher, folder, names, failed_at, marks=None):
    """Standard output of a run that stops in the loop at the face failed_at; marks is
    None when the bitmap's progress line was never begun."""
    text = opening(launcher, folder) + console(launcher, edition_line(PK_COUNT))
    text += b"".join(progress(launcher, joined(folder, name)) for name in names[:failed_at])
    if marks is not None:
        text += progress(launcher, joined(folder, names[failed_at]), marks, finished=False)
    return text


def failure_stderr(launcher, message):
    return console(launcher, message, CLOSING_PROMPT)


def tree(root):
    """Every path under root: the target of each link, the kind of each entry that is no
    plain file, and of each plain file its inode, size, modification time and, when
    small, its content."""
    found = {}
    for dirpath, dirnames, filenames in os.walk(root):
        for name in dirnames + filenames:
            path = pathlib.Path(dirpath) / name
            status = path.lstat()
            if path.is_symlink():
                found[path.relative_to(root)] = os.readlink(path)
            elif stat.S_ISREG(status.st_mode):
                small = path.read_bytes() if status.st_size <= 1024 else None
                found[path.relative_to(root)] = (status.st_ino, status.st_size,
                                                 status.st_mtime_ns, small)
            else:
                found[path.relative_to(root)] = stat.S_IFMT(status.st_mode)
    return found


def only_native(launcher, native_only):
    if native_only and launcher.name != "native":
        pytest.skip("POSIX file system case")


def run(launcher, cwd, answers=b"\n"):
    return launcher.run("mugpack", answers, cwd=cwd)


@pytest.fixture(autouse=True)
def drop_folders_after_test(tmp_path):
    """The folders of a test hold megabytes of bitmaps; none is kept for later runs."""
    yield
    shutil.rmtree(tmp_path, ignore_errors=True)


# --- complete runs -----------------------------------------------------------------------


@pytest.mark.parametrize("count, archive_size, head, old_archive", [
    (PK_COUNT, PK_ARCHIVE_SIZE, "A6 02 00 00", None),
    (NORMAL_COUNT, NORMAL_ARCHIVE_SIZE, "88 02 00 00", None),
    (PK_COUNT, PK_ARCHIVE_SIZE, "A6 02 00 00", b"\x55" * 8_000_000),
], ids=["pk", "normal", "pk-over-larger-archive"])
def test_folder_packs_into_archive(launcher, face_stock, tmp_path, count, archive_size, head,
                                   old_archive):
    folder = tmp_path / "KAO_BMP"
    cells = face_stock.fill(folder, count)
    if old_archive is not None:
        (folder / "kaodata.s7").write_bytes(old_archive)

    result = run(launcher, tmp_path)

    assert result.stdout == packed_stdout(launcher, "KAO_BMP", pk_names(count=count))
    assert result.stderr == console(launcher, CLOSING_PROMPT)
    assert result.returncode == 0
    archive = (folder / "kaodata.s7").read_bytes()
    assert len(archive) == archive_size
    first_entry = "00 00 00 00 00 2D 00 00 60 00 00 00 78 00 00 00"
    assert archive[:20] == bytes.fromhex(head + first_entry)
    assert archive[20:24] == bytes.fromhex("00 2D 00 00")
    assert archive == archive_bytes(cells)
    assert sorted(os.listdir(folder)) == sorted(pk_names(count=count) + ["kaodata.s7"])


def held_output(launcher, output, late_text):
    """What one pipe for both streams receives when the late text goes to standard error
    after the standard output text: standard output leaves in whole blocks of 512 bytes,
    the rest of it only at the end. The blocks are counted before each line end becomes
    the console's line end."""
    plain = output.replace(launcher.newline, b"\n")
    sent = (len(plain) - 1) // 512 * 512
    return (plain[:sent].replace(b"\n", launcher.newline) + late_text
            + plain[sent:].replace(b"\n", launcher.newline))


def short_bitmap_20(face_stock, folder):
    face_stock.fill(folder, PK_COUNT)
    (folder / "kao020.bmp").write_bytes(b"BM")


@pytest.mark.parametrize("case", ["no-bitmaps", "failure-in-loop", "complete-run"])
def test_output_held_in_blocks_when_streams_share_a_pipe(launcher, face_stock, tmp_path,
                                                          case):
    folder = tmp_path / "KAO_BMP"
    if case == "failure-in-loop":
        short_bitmap_20(face_stock, folder)
    elif case == "complete-run":
        face_stock.fill(folder, NORMAL_COUNT)

    result = subprocess.run(launcher.command("mugpack"), input=b"\n", stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, cwd=tmp_path, timeout=60,
                            start_new_session=True)

    if case == "no-bitmaps":
        output = opening(launcher, "KAO_BMP")
        late = failure_stderr(launcher, NO_BITMAPS)
    elif case == "failure-in-loop":
        output = stopped_stdout(launcher, "KAO_BMP", pk_names(), 20, marks=0)
        late = failure_stderr(
            launcher, "\nError:BMPファイル KAO_BMP\\kao020.bmp BMPヘッダ読み込み失敗\n")
    else:
        output = packed_stdout(launcher, "KAO_BMP", pk_names(count=NORMAL_COUNT))
        late = console(launcher, CLOSING_PROMPT)
    expected = held_output(launcher, output, late)
    assert result.stdout == expected
    assert result.returncode == (0 if case == "complete-run" else 1)


# --- answers ---------------------------------------------------------------------------


@pytest.mark.parametrize("answers, folder", [
    (b"\n", "KAO_BMP"),
    (b"", "KAO_BMP"),
    (b"\x1asub\n", "KAO_BMP"),
    (b"sub\n", "sub"),
    (b"sub", "sub"),
    (b"sub\r\n", "sub"),
    (b"s\ru\rb\r\n", "sub"),
    (b"sub\x1a\\\n", "sub"),
    (b"sub\nother\n", "sub"),
    (b"sub\\\n", "sub\\KAO_BMP"),
    (b"a\\b\\\r\n", "a\\b\\KAO_BMP"),
    (b"D:\n", "D:\\KAO_BMP"),
    (b"C:\\work\n", "C:\\work"),
    (b"  sub \n", "  sub "),
    (b"a/b\n", "a/b"),
    (b"\x83\x5c\n", b"\x83\x5cKAO_BMP"),
    (b"100%d%s%n\n", "100%d%s%n"),
], ids=["empty", "no-input", "ctrl-z-first", "plain", "no-line-end", "cr-lf", "cr-inside",
        "ctrl-z-ends", "one-line-only", "trailing-backslash", "nested-trailing-backslash",
        "drive", "drive-path", "blanks-kept", "slash-kept", "double-byte-5c", "percent"])
def test_answer_names_folder(launcher, tmp_path, answers, folder):
    result = run(launcher, tmp_path, answers)

    assert result.stdout == opening(launcher, folder)
    assert result.stderr == failure_stderr(launcher, NO_BITMAPS)
    assert result.returncode == 1
    assert tree(tmp_path) == {}


@pytest.mark.parametrize("answers, folder, place, native_only", [
    (b"sub\\\n", "sub\\KAO_BMP", "sub/KAO_BMP", False),
    (b"sub\\KAO_BMP\r\n", "sub\\KAO_BMP", "sub/KAO_BMP", False),
    (b"faces", "faces", "faces", False),
    (b"D:\n", "D:\\KAO_BMP", "D:/KAO_BMP", True),
], ids=["trailing-backslash", "cr-lf", "no-line-end", "drive-as-folder"])
def test_answered_folder_is_packed(launcher, face_stock, tmp_path, answers, folder, place,
                                   native_only):
    only_native(launcher, native_only)
    cells = face_stock.fill(tmp_path / place, NORMAL_COUNT)

    result = run(launcher, tmp_path, answers)

    assert result.stdout == packed_stdout(launcher, folder, pk_names(count=NORMAL_COUNT))
    assert result.stderr == console(launcher, CLOSING_PROMPT)
    assert result.returncode == 0
    assert (tmp_path / place / "kaodata.s7").read_bytes() == archive_bytes(cells)


def test_percent_in_folder_is_shown_unchanged(launcher, face_stock, tmp_path):
    folder = "p%s%n%d"
    face_stock.fill(tmp_path / folder, PK_COUNT)
    (tmp_path / folder / "kao001.bmp").write_bytes(b"BM%s%n")

    result = run(launcher, tmp_path, b"p%s%n%d\n")

    assert result.stdout == stopped_stdout(launcher, folder, pk_names(), 1, marks=0)
    assert result.stderr == failure_stderr(
        launcher, "\nError:BMPファイル p%s%n%d\\kao001.bmp BMPヘッダ読み込み失敗\n")
    assert result.returncode == 1
    assert not (tmp_path / folder / "kaodata.s7").exists()


LONG_LEVELS = ["level%d-" % n + "x" * 60 for n in range(6)]


def test_long_folder_path_is_not_cut(native, face_stock, tmp_path):
    folder = "\\".join(LONG_LEVELS + ["KAO_BMP"])
    assert len(folder) > 300
    cells = face_stock.fill(tmp_path.joinpath(*LONG_LEVELS, "KAO_BMP"), NORMAL_COUNT)

    result = run(native, tmp_path, folder.encode() + b"\n")

    assert result.stdout == packed_stdout(native, folder, pk_names(count=NORMAL_COUNT))
    assert result.stderr == console(native, CLOSING_PROMPT)
    assert result.returncode == 0
    archive = tmp_path.joinpath(*LONG_LEVELS, "KAO_BMP", "kaodata.s7")
    assert archive.read_bytes() == archive_bytes(cells)


def test_long_path_in_message_is_not_cut(native, face_stock, tmp_path):
    levels = "\\".join(LONG_LEVELS)
    place = tmp_path.joinpath(*LONG_LEVELS, "KAO_BMP")
    face_stock.fill(place, PK_COUNT)
    (place / "kaodata.s7").mkdir()

    result = run(native, tmp_path, levels.encode() + b"\\\n")

    folder = levels + "\\KAO_BMP"
    message = "Error:%s\\kaodata.s7ファイルが作成できません\n" % folder
    assert len(message.encode("cp932")) > 400
    assert result.stdout == opening(native, folder) + console(native, edition_line(PK_COUNT))
    assert result.stderr == failure_stderr(native, message)
    assert result.returncode == 2
    assert list((place / "kaodata.s7").iterdir()) == []


# --- listing ---------------------------------------------------------------------------

# 677 names that no other name of the listing tests collides with.
OTHER_NAMES = pk_names(first=100, count=PK_COUNT - 1)


def fill_with_extra(face_stock, folder, extra):
    """The 677 OTHER_NAMES and one more name; returns the cells by name."""
    names = [extra] + OTHER_NAMES
    return dict(zip(names, face_stock.fill(folder, names=names)))


@pytest.mark.parametrize("name, native_only", [
    ("kao.bmp", False),
    ("kao7.bmp", False),
    ("kao12.bmp", False),
    ("KAO001.BMP", False),
    ("Kao9.bMp", False),
    ("kao-_!.bmp", False),
    ("kaoあ.bmp", True),
    ("kaoあいう.bmp", True),
], ids=["no-digits", "one-digit", "two-digits", "upper-case", "mixed-case", "signs",
        "one-wide-character", "three-wide-characters"])
def test_name_is_counted_and_packed(launcher, face_stock, tmp_path, name, native_only):
    only_native(launcher, native_only)
    cells = fill_with_extra(face_stock, tmp_path / "KAO_BMP", name)
    order = listing_order(cells)

    result = run(launcher, tmp_path)

    assert result.stdout == packed_stdout(launcher, "KAO_BMP", order)
    assert result.stderr == console(launcher, CLOSING_PROMPT)
    assert result.returncode == 0
    archive = (tmp_path / "KAO_BMP" / "kaodata.s7").read_bytes()
    assert archive == archive_bytes([cells[n] for n in order])


def make_directory(path):
    path.mkdir()


def make_dangling_link(path):
    path.symlink_to("missing.bmp")


def make_link_to_directory(path):
    (path.parent.parent / "elsewhere").mkdir()
    path.symlink_to(path.parent.parent / "elsewhere")


def make_fifo(path):
    os.mkfifo(path)


def make_file(path):
    path.write_bytes(bitmap_bytes(cell_of(1)))


@pytest.mark.parametrize("name, make, native_only", [
    ("kao0001.bmp", make_file, False),
    ("kao001.bmp.bak", make_file, False),
    ("kao001.bmpx", make_file, False),
    ("kao.1.bmp", make_file, False),
    ("kao001.bm", make_file, False),
    ("xkao001.bmp", make_file, False),
    ("ka001.bmp", make_file, False),
    ("kao005.bmp", make_directory, False),
    ("kaoあいうえ.bmp", make_file, True),
    ("kao005.bmp", make_dangling_link, True),
    ("kao006.bmp", make_link_to_directory, True),
    ("kao007.bmp", make_fifo, True),
], ids=["four-digits", "more-after-bmp", "longer-extension", "dot-inside", "short-extension",
        "letter-before", "short-prefix", "directory", "four-wide-characters", "dangling-link",
        "link-to-directory", "fifo"])
def test_entry_is_not_counted(launcher, face_stock, tmp_path, name, make, native_only):
    only_native(launcher, native_only)
    folder = tmp_path / "KAO_BMP"
    face_stock.fill(folder, names=OTHER_NAMES)
    make(folder / name)
    before = tree(tmp_path)

    result = run(launcher, tmp_path)

    assert result.stdout == opening(launcher, "KAO_BMP")
    assert result.stderr == failure_stderr(
        launcher, "Error:顔グラファイル数が正しくありません(677:PK=678,通常=648)\n")
    assert result.returncode == 2
    assert tree(tmp_path) == before


def test_names_are_packed_in_case_folded_order(launcher, face_stock, tmp_path):
    odd_names = ["kao.bmp", "kao0.bmp", "kao1.bmp", "kao10.bmp", "kaoA.bmp", "kaob.bmp",
                 "KAOC.BMP", "kao_.bmp"]
    others = pk_names(first=100, count=PK_COUNT - len(odd_names))
    order = odd_names[:4] + others + odd_names[4:]
    # Made in an order unlike the listing order.
    made = list(reversed(odd_names)) + others[::2] + others[1::2]
    cells = dict(zip(made, face_stock.fill(tmp_path / "KAO_BMP", names=made)))

    result = run(launcher, tmp_path)

    assert result.stdout == packed_stdout(launcher, "KAO_BMP", order)
    assert result.returncode == 0
    archive = (tmp_path / "KAO_BMP" / "kaodata.s7").read_bytes()
    assert archive == archive_bytes([cells[name] for name in order])


def test_gaps_in_numbers_are_not_noticed(launcher, face_stock, tmp_path):
    names = pk_names(count=PK_COUNT - 1) + ["kao999.bmp"]
    cells = face_stock.fill(tmp_path / "KAO_BMP", names=names)

    result = run(launcher, tmp_path)

    assert result.stdout == packed_stdout(launcher, "KAO_BMP", names)
    assert result.returncode == 0
    assert (tmp_path / "KAO_BMP" / "kaodata.s7").read_bytes() == archive_bytes(cells)


def test_linked_bitmap_is_followed(native, face_stock, tmp_path):
    folder = tmp_path / "KAO_BMP"
    cells = face_stock.fill(folder, PK_COUNT)
    elsewhere = tmp_path / "elsewhere"
    elsewhere.mkdir()
    linked_cell = cell_of(1000)
    (elsewhere / "face.bmp").write_bytes(bitmap_bytes(linked_cell))
    (folder / "kao050.bmp").unlink()
    (folder / "kao050.bmp").symlink_to("../elsewhere/face.bmp")

    result = run(native, tmp_path)

    assert result.stdout == packed_stdout(native, "KAO_BMP", pk_names())
    assert result.returncode == 0
    cells[50] = linked_cell
    assert (folder / "kaodata.s7").read_bytes() == archive_bytes(cells)


# --- failures before the archive exists -----------------------------------------------


def no_folder(folder):
    pass


def empty_folder(folder):
    folder.mkdir()


def folder_without_matches(folder):
    folder.mkdir()
    (folder / "kao0001.bmp").write_bytes(bitmap_bytes(cell_of(0)))
    (folder / "kaodata.s7").write_bytes(b"old archive")
    (folder / "notes.txt").write_bytes(b"kao001.bmp")


def folder_is_a_file(folder):
    folder.write_bytes(b"kao000.bmp")


@pytest.mark.parametrize("make", [no_folder, empty_folder, folder_without_matches,
                                  folder_is_a_file])
def test_no_bitmaps(launcher, tmp_path, make):
    make(tmp_path / "KAO_BMP")
    before = tree(tmp_path)

    result = run(launcher, tmp_path)

    assert result.stdout == opening(launcher, "KAO_BMP")
    assert result.stderr == failure_stderr(launcher, NO_BITMAPS)
    assert result.returncode == 1
    assert tree(tmp_path) == before


@pytest.mark.parametrize("count", [1, 647, 649, 677, 679, 700])
def test_wrong_number_of_bitmaps(launcher, face_stock, tmp_path, count):
    folder = tmp_path / "KAO_BMP"
    face_stock.fill(folder, count)
    (folder / "kaodata.s7").write_bytes(b"old archive")
    before = tree(tmp_path)

    result = run(launcher, tmp_path)

    assert result.stdout == opening(launcher, "KAO_BMP")
    assert result.stderr == failure_stderr(
        launcher, "Error:顔グラファイル数が正しくありません(%d:PK=678,通常=648)\n" % count)
    assert result.returncode == 2
    assert tree(tmp_path) == before


def archive_is_directory(path):
    path.mkdir()
    (path / "inside").write_bytes(b"kept")


def archive_is_link_into_nowhere(path):
    path.symlink_to("missing/kaodata.s7")


@pytest.mark.parametrize("make, native_only", [
    (archive_is_directory, False),
    (archive_is_link_into_nowhere, True),
], ids=["directory", "link-into-missing-folder"])
def test_archive_cannot_be_created(launcher, face_stock, tmp_path, make, native_only):
    only_native(launcher, native_only)
    folder = tmp_path / "KAO_BMP"
    face_stock.fill(folder, PK_COUNT)
    make(folder / "kaodata.s7")
    before = tree(tmp_path)

    result = run(launcher, tmp_path)

    assert result.stdout == opening(launcher, "KAO_BMP") + console(launcher,
                                                                   edition_line(PK_COUNT))
    assert result.stderr == failure_stderr(
        launcher, "Error:KAO_BMP\\kaodata.s7ファイルが作成できません\n")
    assert result.returncode == 2
    assert tree(tmp_path) == before


# --- failures in the loop over the bitmaps -------------------------------------------


def test_bitmap_that_cannot_be_opened(native, face_stock, tmp_path):
    # A name holding a backslash is listed, but its path leads into a folder kao1
    # that does not exist.
    folder = tmp_path / "KAO_BMP"
    names = pk_names(count=PK_COUNT - 1) + ["kao1\\.bmp"]
    face_stock.fill(folder, names=names)
    order = listing_order(names)
    assert order.index("kao1\\.bmp") == 200

    result = run(native, tmp_path)

    assert result.stdout == stopped_stdout(native, "KAO_BMP", order, 200)
    assert result.stderr == failure_stderr(
        native, "Error:BMPファイル KAO_BMP\\kao1\\.bmp がありません\n")
    assert result.returncode == 1
    assert not (folder / "kaodata.s7").exists()


@pytest.mark.parametrize("face, size, old_archive", [
    (0, 0, False),
    (2, 13, True),
    (677, 1, False),
], ids=["empty-first", "13-bytes-over-old-archive", "one-byte-last"])
def test_bitmap_header_too_short(launcher, face_stock, tmp_path, face, size, old_archive):
    folder = tmp_path / "KAO_BMP"
    face_stock.fill(folder, PK_COUNT)
    bitmap = folder / ("kao%03d.bmp" % face)
    bitmap.write_bytes(bitmap.read_bytes()[:size])
    if old_archive:
        (folder / "kaodata.s7").write_bytes(b"old archive")

    result = run(launcher, tmp_path)

    assert result.stdout == stopped_stdout(launcher, "KAO_BMP", pk_names(), face, marks=0)
    assert result.stderr == failure_stderr(
        launcher, "\nError:BMPファイル KAO_BMP\\kao%03d.bmp BMPヘッダ読み込み失敗\n" % face)
    assert result.returncode == 1
    assert sorted(os.listdir(folder)) == pk_names()


def with_offset(data, offset):
    return data[:10] + struct.pack("<I", offset) + data[14:]


@pytest.mark.parametrize("damage", [
    lambda data: with_offset(data, 100_000),
    lambda data: with_offset(data, len(data)),
    lambda data: with_offset(data, len(data) - FACE_CELL_SIZE + 1),
    lambda data: with_offset(data, 0x80000000),
    lambda data: with_offset(data, 0xFFFFFFFF),
    lambda data: data[:-FACE_WIDTH],
    lambda data: data[:-1],
    lambda data: with_offset(data[:14], 14),
], ids=["offset-past-end", "offset-at-end", "offset-one-byte-late", "offset-2g",
        "offset-4g", "119-rows", "one-byte-short", "header-only"])
def test_bitmap_data_too_short(launcher, face_stock, tmp_path, damage):
    folder = tmp_path / "KAO_BMP"
    face_stock.fill(folder, PK_COUNT)
    bitmap = folder / "kao005.bmp"
    bitmap.write_bytes(damage(bitmap.read_bytes()))
    (folder / "kaodata.s7").write_bytes(b"old archive")

    result = run(launcher, tmp_path)

    assert result.stdout == stopped_stdout(launcher, "KAO_BMP", pk_names(), 5, marks=0)
    assert result.stderr == failure_stderr(
        launcher, "\nError:BMPファイル KAO_BMP\\kao005.bmp ビットマップデータ読み込み失敗\n")
    assert result.returncode == 1
    assert sorted(os.listdir(folder)) == pk_names()


# --- what is taken from a bitmap -----------------------------------------------------


def pixels_at(data, offset):
    """The cell that 11520 bytes at the offset, bottom row first, make."""
    return rows_bottom_first(data[offset:offset + FACE_CELL_SIZE])


def bitmap24(seed):
    pixels = bytes((seed + 5 * n) % 251 for n in range(3 * FACE_CELL_SIZE))
    file_header = b"BM" + struct.pack("<IHHI", 54 + len(pixels), 0, 0, 54)
    info_header = struct.pack("<IiiHHIIiiII", 40, FACE_WIDTH, FACE_HEIGHT, 1, 24, 0,
                              len(pixels), 0, 0, 0, 0)
    return file_header + info_header + pixels


def pixel_offset_54():
    data = bitmap_bytes(cell_of(500), offset=54)
    return data, cell_of(500)


def pixel_offset_2000():
    data = bitmap_bytes(cell_of(501), offset=2000)
    return data, cell_of(501)


def pixel_offset_14():
    data = bitmap_bytes(cell_of(502), offset=14)
    return data, cell_of(502)


def pixel_offset_0():
    data = with_offset(bitmap_bytes(cell_of(503)), 0)
    return data, pixels_at(data, 0)


def bytes_after_last_row():
    data = bitmap_bytes(cell_of(504)) + bytes(range(256)) * 4
    return data, cell_of(504)


def no_signature():
    data = b"XX" + bitmap_bytes(cell_of(505))[2:]
    return data, cell_of(505)


def twenty_four_bits():
    data = bitmap24(7)
    return data, pixels_at(data, 54)


def exactly_enough_bytes():
    data = bitmap_bytes(cell_of(506), offset=1078)
    data = with_offset(data[1078 - 14:], 14)
    return data, cell_of(506)


@pytest.mark.parametrize("make", [pixel_offset_54, pixel_offset_2000, pixel_offset_14,
                                  pixel_offset_0, bytes_after_last_row, no_signature,
                                  twenty_four_bits, exactly_enough_bytes])
def test_pixel_rows_taken_from_offset(launcher, face_stock, tmp_path, make):
    folder = tmp_path / "KAO_BMP"
    cells = face_stock.fill(folder, PK_COUNT)
    data, cells[3] = make()
    (folder / "kao003.bmp").write_bytes(data)

    result = run(launcher, tmp_path)

    assert result.stdout == packed_stdout(launcher, "KAO_BMP", pk_names())
    assert result.stderr == console(launcher, CLOSING_PROMPT)
    assert result.returncode == 0
    assert (folder / "kaodata.s7").read_bytes() == archive_bytes(cells)


# --- failed writes of the archive ----------------------------------------------------


def archive_writes():
    """The archive's writes in order: (piece, face, row, length)."""
    yield "count", None, None, 4
    for _ in range(PK_COUNT):
        yield "index", None, None, 16
    for face in range(PK_COUNT):
        for row in range(FACE_HEIGHT):
            yield "cell", face, row, FACE_WIDTH


def first_failed_write(limit, buffer_size):
    """Where a file size limit stops the archive, given the stdio buffer of the stream:
    the buffer is written out only when a write does not fit in it, and at the close.

    Returns (piece, face, row), ("close", None, None) or None."""
    written = 0
    held = 0
    for piece, face, row, length in archive_writes():
        if held + length > buffer_size:
            if written + buffer_size > limit:
                return piece, face, row
            written += buffer_size
            held = held + length - buffer_size
        else:
            held += length
    if written + held > limit:
        return "close", None, None
    return None


def limited_file_size(limit):
    def limit_in_child():
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
    return limit_in_child


@pytest.mark.parametrize("limit, piece", [
    # The count and the index fit in the first buffer, so a size limit always stops a
    # cell: at the first flush, or at a later one.
    (0, "cell"),
    (STREAM_BUFFER_SIZE - 1, "cell"),
    (STREAM_BUFFER_SIZE, "cell"),
    (1_000_000, "cell"),
    (PK_ARCHIVE_SIZE - 1, "close"),
    (PK_ARCHIVE_SIZE, None),
])
def test_archive_write_fails(native, face_stock, tmp_path, limit, piece):
    folder = tmp_path / "KAO_BMP"
    cells = face_stock.fill(folder, PK_COUNT)
    failed = first_failed_write(limit, STREAM_BUFFER_SIZE)
    assert (failed[0] if failed else None) == piece

    result = subprocess.run(native.command("mugpack"), input=b"\n", capture_output=True,
                            cwd=tmp_path, timeout=60, start_new_session=True,
                            preexec_fn=limited_file_size(limit))

    archive = folder / "kaodata.s7"
    cell_message = "\nError:顔グラファイル KAO_BMP\\kaodata.s7 ビットマップデータ書き込み失敗\n"
    if piece is None:
        assert result.stdout == packed_stdout(native, "KAO_BMP", pk_names())
        assert result.stderr == console(native, CLOSING_PROMPT)
        assert result.returncode == 0
        assert archive.read_bytes() == archive_bytes(cells)
        return
    if piece == "cell":
        _, face, row = failed
        assert result.stdout == stopped_stdout(native, "KAO_BMP", pk_names(), face,
                                               marks=row // 12)
        assert result.stderr == failure_stderr(native, cell_message)
        assert result.returncode == 1
    else:
        assert result.stdout == stopped_stdout(native, "KAO_BMP", pk_names(), PK_COUNT)
        assert result.stderr == failure_stderr(native, cell_message)
        assert result.returncode == 1
    assert not archive.exists()
