"""Every file operation of a run made to fail in turn, with the fault plan of the test
build (bin/fault-injection): MUG_IO_FAULTS names the failing operations, MUG_IO_TRACE
records every operation as "kind ordinal path", with " FAIL" on a failed one.

A run without faults gives the list of the run's operations. Each operation of that list
is then made to fail alone, and the outcome is checked against what the program must do
for that operation, worked out from the program, the kind of operation, the file and the
operation's place in the run: the message and the closing prompt, the exit status, the
standard output written up to the failure, the files left behind, and the trace (the
operations before the failing one are those of the run without faults, and after it
comes nothing but the clean-up of the half-written file). A failure that the program
ignores gives the fault-free run's outputs byte for byte.

What is swept:
- mugcut and mugcut24, on an archive of three faces and its palette: every operation of
  the run; and every failure that deletes a half-written file once more together with a
  failed removal of it (remove:1), which must leave exactly that file behind.
- mugpack, on a folder of 648 bitmaps (a run has about 158000 operations): every list,
  create, open, seek and close; of the reads, every read of the first two bitmaps and
  the header, first and last row of every 50th bitmap and of the last; of the writes,
  the count and the index writes at the ordinal boundaries 1, 2, 3, 648, 649, 650, every
  write of the first two cells, and the first and last row of every 50th cell and of
  the last. The failed removal is combined with every swept read and write, with the
  archive's close, and with the opens and seeks of the bitmaps named above.
  Every run is traced except the open, seek and close of a bitmap not named above: the
  test build flushes each traced operation, which makes a traced run about ten times as
  costly, and these runs reach deep into the 648 bitmaps. They are checked in all else
  (message, status, standard output, files; a failed close, which is ignored, against
  the fault-free run in full), and the same failures of the named bitmaps with the trace.

The runs of one group go concurrently, each in a folder that no other run uses at the
same time. mugpack's folders hold hard links to bitmaps made once per module (the program
only reads them) and are put back as they were after each run.
"""

import collections
import concurrent.futures
import dataclasses
import itertools
import os
import queue
import pathlib
import shutil
import tempfile
import time

import pytest

from conftest import NATIVE_BIN_DIR, Launcher, archive_bytes, bitmap_bytes, cell_of, \
    make_face_folder, palette_file_bytes, split_bitmap8, split_bitmap24

FAULT_BIN_DIR = NATIVE_BIN_DIR / "fault-injection"
WORKERS = min(4, (os.cpu_count() or 2) + 1)
CLOSING_PROMPT = "プログラムを終了します。何かキーを押してください..."
DONE = "完了.".encode("cp932")

FACE_HEIGHT = 120
NORMAL_COUNT = 648

pytestmark = pytest.mark.skipif(not (FAULT_BIN_DIR / "mugpack").exists(),
                                reason="the fault-injection build is missing")


def cp932(text):
    return text.encode("cp932")


# --- traces and outcomes ---------------------------------------------------------------


@dataclasses.dataclass(frozen=True)
class Operation:
    kind: str
    ordinal: int
    path: str

    def __str__(self):
        return "%s:%d (%s)" % (self.kind, self.ordinal, self.path)


def parse_operation(line):
    kind, ordinal, path = line.decode("cp932").rstrip("\n").split(" ", 2)
    return Operation(kind, int(ordinal), path)


def trace_line(op, failed=False):
    return cp932("%s %d %s%s\n" % (op.kind, op.ordinal, op.path, " FAIL" if failed else ""))


class Trace:
    """The trace of a fault-free run: its bytes, where each line starts, and its
    operations."""

    def __init__(self, data):
        lines = data.splitlines(keepends=True)
        self.data = data
        self.starts = list(itertools.accumulate((len(line) for line in lines), initial=0))
        self.operations = [parse_operation(line) for line in lines]
        self.closes = list(itertools.accumulate(op.kind == "close" for op in self.operations))

    def line_span(self, index):
        return self.starts[index], self.starts[index + 1]

    def marked(self, index):
        """The whole trace with the index-th operation marked as failed."""
        start, end = self.line_span(index)
        return self.data[:start] + trace_line(self.operations[index], True) + self.data[end:]


def on_disk(path):
    return path.replace("\\", "/")


def snapshot(root):
    """Every file under root with its bytes, and every folder (None)."""
    found = {}
    for dirpath, dirnames, filenames in os.walk(root):
        for name in dirnames:
            found[(pathlib.Path(dirpath) / name).relative_to(root).as_posix()] = None
        for name in filenames:
            path = pathlib.Path(dirpath) / name
            found[path.relative_to(root).as_posix()] = path.read_bytes()
    return found


@pytest.fixture(scope="module")
def faulty(tmp_path_factory):
    """The fault-injection programs, copied once: a rebuild while the sweep runs does not
    reach it."""
    copies = tmp_path_factory.mktemp("fault_programs")
    for program in ("mugpack", "mugcut", "mugcut24"):
        shutil.copy2(FAULT_BIN_DIR / program, copies / program)
    return Launcher("fault-injection", copies, "", [], b"\n")


def fault_environment(trace, faults):
    env = dict(os.environ)
    env.pop("MUG_IO_TRACE", None)
    env.pop("MUG_IO_FAULTS", None)
    if trace is not None:
        env["MUG_IO_TRACE"] = str(trace)
    if faults:
        env["MUG_IO_FAULTS"] = ",".join("%s:%d" % fault for fault in faults)
    return env


@dataclasses.dataclass
class Run:
    stdout: bytes
    stderr: bytes
    status: int
    trace: bytes               # None for a run without a trace
    files: dict


@dataclasses.dataclass
class Expected:
    """What a run with one failing operation must give. message None: the failure is
    ignored and the run is the fault-free run."""
    message: str = None
    status: int = 0
    stdout: bytes = b""
    cleaned: str = None        # the half-written file that the clean-up deletes
    partial: bytes = None      # its bytes, which stay when the deletion fails
    files: dict = None         # the files the run must leave in its folder


AFTER_FAILURE = "operations from the failure on"


class Findings:
    def __init__(self, case):
        self.case = case
        self.items = []

    def add(self, what, text):
        self.items.append((what, "%s: %s: %s" % (self.case, what, text)))

    def equal(self, what, actual, expected):
        if actual != expected:
            self.add(what, "got %s, expected %s" % (shorten(actual), shorten(expected)))

    def true(self, what, condition):
        if not condition:
            self.add(what, "no")

    def equal_lines(self, what, actual, expected):
        """Two traces: on a difference, the first line that differs."""
        if actual == expected:
            return
        got, wanted = actual.splitlines(), expected.splitlines()
        at = next((n for n, (a, b) in enumerate(zip(got, wanted)) if a != b),
                  min(len(got), len(wanted)))
        self.add(what, "%d lines, expected %d; line %d is %r, expected %r" % (
            len(got), len(wanted), at + 1, got[at] if at < len(got) else None,
            wanted[at] if at < len(wanted) else None))


def shorten(value):
    text = repr(value)
    return text if len(text) <= 300 else text[:150] + " ... " + text[-150:]


def sweep(cases, run_case):
    """Runs the cases concurrently; fails with every problem found."""
    started = time.monotonic()
    with concurrent.futures.ThreadPoolExecutor(max_workers=WORKERS) as pool:
        findings = list(pool.map(run_case, cases))
    print("%d runs in %.1f s" % (len(cases), time.monotonic() - started))
    problems = [item for finding in findings for item in finding.items]
    text = "%d problems, the first of them:\n%s" % (
        len(problems), "\n".join(text for _, text in problems[:20]))
    assert not problems, text


def check_trace(found, trace, reference, index, expected, removal_fails):
    """The operations before the failing one are the fault-free run's; the failing one is
    marked; after it comes nothing but the clean-up: the close of the half-written file
    (unless its close was the failure) and its removal."""
    failing = reference.operations[index]
    start, _ = reference.line_span(index)
    found.equal_lines("operations before the failure", trace[:start], reference.data[:start])
    tail = trace_line(failing, True)
    if expected.cleaned is not None:
        if not (failing.kind == "close" and failing.path == expected.cleaned):
            tail += trace_line(Operation("close", reference.closes[index] + 1, expected.cleaned))
        tail += trace_line(Operation("remove", 1, expected.cleaned), removal_fails)
    found.equal_lines(AFTER_FAILURE, trace[start:], tail)


def check_run(found, run, expected, prompt_on_stdout, fault_free, reference, index,
              removal_fails):
    if expected.message is None:
        found.equal("stdout", run.stdout, fault_free.stdout)
        found.equal("stderr", run.stderr, fault_free.stderr)
        found.equal("status", run.status, 0)
        found.equal("files", run.files, fault_free.files)
        if run.trace is not None:
            found.equal_lines("trace", run.trace, reference.marked(index))
        return
    if prompt_on_stdout:
        found.equal("stdout", run.stdout, expected.stdout + cp932(CLOSING_PROMPT))
        found.equal("stderr", run.stderr, cp932(expected.message))
    else:
        found.equal("stdout", run.stdout, expected.stdout)
        found.equal("stderr", run.stderr, cp932(expected.message + CLOSING_PROMPT))
    found.true("完了. written after a failure", DONE not in run.stdout)
    found.equal("status", run.status, expected.status)
    found.equal("files left", sorted(run.files), sorted(expected.files))
    for name in sorted(set(run.files) & set(expected.files)):
        found.equal("content of " + name, run.files[name], expected.files[name])
    if run.trace is not None:
        check_trace(found, run.trace, reference, index, expected, removal_fails)


def with_removal_failing(expected, name):
    """The outcome when the clean-up cannot delete the half-written file: the same
    message and status, and the file (name in the run's files) stays with what had been
    written of it."""
    files = dict(expected.files)
    files[name] = expected.partial
    return dataclasses.replace(expected, files=files)


# --- splitters -------------------------------------------------------------------------


@dataclasses.dataclass(frozen=True)
class SplitterKind:
    program: str
    title: str
    archive: str
    palette: str
    palette_message: str
    count_message: str
    folder: str
    page: str
    depth: int
    prompt_on_stdout: bool


SPLITTERS = {
    "mugcut": SplitterKind(
        "mugcut", "三国志7 顔グラ分割(kaoadata.s7 → 8bitBMPファイル)\n",
        "SAN7\\kaodata.s7", "SAN7\\p_kao.s7",
        "Error:p_kao.s7ファイルからパレット情報を読めません\n",
        "Error:kaodata.s7ファイルから顔グラ個数を読めません\n",
        "KAO_BMP", "KAO_BMP\\kao_bmp.html", 8, False),
    "mugcut24": SplitterKind(
        "mugcut24", "三国志6 顔グラ分割(kaodata.s6 → 24bitBMPファイル)\n",
        "SAN6\\kaodata.s6", "SAN6\\palette.s6",
        "Error:palette.s6ファイルからパレット情報を読めません\n",
        "Error:kaodata.s6ファイルから顔グラ個数を読めません\n",
        "KAO_S6_24BMP", "KAO_S6_24BMP\\kao_s6bmp.html", 24, True),
}

SPLIT_CELLS = [cell_of(40 + n) for n in range(3)]
SPLIT_PALETTE = palette_file_bytes(seed=9)

# The writes of one face bitmap, in order: (piece, bytes) for the pieces before the rows;
# each pixel row is one write of 96 or 288 bytes.
BITMAP_HEAD_WRITES = {
    8: [("file_header", 14), ("info_header", 40), ("colour_table", 1024)],
    24: [("file_header", 14), ("info_header", 40)],
}
ROW_BYTES = {8: 96, 24: 288}
PIECE_MESSAGES = {
    "file_header": "\nError:BMPファイル %s BMPヘッダ書き込み失敗\n",
    "info_header": "\nError:BMPファイル %s BMP情報書き込み失敗\n",
    "colour_table": "\nError:BMPファイル %s BMPパレット書き込み失敗\n",
    "pixel_data": "\nError:BMPファイル %s ビットマップデータ書き込み失敗\n",
}


def bitmap_path(kind, face):
    return "%s\\kao%03d.bmp" % (kind.folder, face)


def split_bitmap(kind, face):
    maker = split_bitmap8 if kind.depth == 8 else split_bitmap24
    return maker(SPLIT_CELLS[face], SPLIT_PALETTE)


def make_split_input(kind, root, folder_exists=True):
    archive = root / on_disk(kind.archive)
    archive.parent.mkdir(parents=True)
    archive.write_bytes(archive_bytes(SPLIT_CELLS))
    (root / on_disk(kind.palette)).write_bytes(SPLIT_PALETTE)
    if folder_exists:
        (root / kind.folder).mkdir()


def input_files(kind, folder_exists):
    files = {on_disk(kind.archive).split("/")[0]: None,
             on_disk(kind.archive): archive_bytes(SPLIT_CELLS),
             on_disk(kind.palette): SPLIT_PALETTE}
    if folder_exists:
        files[kind.folder] = None
    return files


def splitter_stdout(kind, stage, face=None, marks=None):
    """Standard output up to a stage of the run: "opened" (the archive path line),
    "folder" (the output folder line), "faces" (the face-number line and the progress
    lines of the faces before face, then face's begun line with its marks when marks is
    not None), "page" (all faces and the line end after them), "done"."""
    text = kind.title + "顔グラファイル名( %s )>" % kind.archive
    text += "InputFilePath = %s\n" % kind.archive
    if stage == "opened":
        return cp932(text)
    text += "出力フォルダ( %s )>OutputFilePath = %s\n" % (kind.folder, kind.folder)
    if stage == "folder":
        return cp932(text)
    text += "顔グラNo = 0 ～ %d\n" % (len(SPLIT_CELLS) - 1)
    done_faces = len(SPLIT_CELLS) if stage in ("page", "done") else face
    for n in range(done_faces):
        path = bitmap_path(kind, n)
        text += "%s ..........    \r%s  %s ok \r" % (path, path, "o" * 10)
    if stage == "faces":
        if marks is not None:
            path = bitmap_path(kind, face)
            text += "%s ..........    \r%s  %s" % (path, path, "o" * marks)
        return cp932(text)
    text += "\n"
    if stage == "page":
        return cp932(text)
    return cp932(text + "%s ok\n完了.\n" % kind.page)


def page_pieces(page):
    """The page in the pieces it is written in: its head up to the title, the title line,
    the style up to the first table row, each face cell, each row break, and the end."""
    starts = sorted({0} | {at for marker in (b"<title>", b"<style", b"<td>", b"</tr>")
                           for at in find_all(page, marker)})
    return [page[a:b] for a, b in zip(starts, starts[1:] + [len(page)])]


def find_all(data, marker):
    at = data.find(marker)
    while at >= 0:
        yield at
        at = data.find(marker, at + 1)


class SplitterRuns:
    """The fault-free run of a splitter and what each of its operations is."""

    def __init__(self, kind, root, launcher):
        self.kind = kind
        self.launcher = launcher
        self.root = pathlib.Path(root)
        self.fault_free = self.run(None)
        self.reference = Trace(self.fault_free.trace)
        self.operations = self.reference.operations

    def run(self, faults, folder_exists=True):
        place = pathlib.Path(tempfile.mkdtemp(dir=self.root))
        try:
            work = place / "work"
            work.mkdir()
            make_split_input(self.kind, work, folder_exists)
            trace = place / "trace.txt"
            result = self.launcher.run(self.kind.program, b"\n\n", cwd=work,
                                     env=fault_environment(trace, faults))
            return Run(result.stdout, result.stderr, result.returncode, trace.read_bytes(),
                       snapshot(work))
        finally:
            shutil.rmtree(place)

    def expected(self, index):
        """What the failure of the index-th operation of the fault-free run must give."""
        kind = self.kind
        op = self.operations[index]
        within = sum(1 for earlier in self.operations[:index + 1]
                     if (earlier.kind, earlier.path) == (op.kind, op.path))
        page = self.fault_free.files[on_disk(kind.page)]
        bitmaps = {n: bitmap_path(kind, n) for n in range(len(SPLIT_CELLS))}
        face_of = {path: n for n, path in bitmaps.items()}
        before_folder = Expected(status=1, stdout=splitter_stdout(kind, "opened"),
                                 files=input_files(kind, True))
        unreadable_face = "Error:顔No.%03dのビットマップデータを正しく読めません\n"

        def in_loop(status, message, face, marks=None, cleaned=None, partial=None):
            files = input_files(kind, True)
            files.update({on_disk(bitmaps[n]): split_bitmap(kind, n) for n in range(face)})
            return Expected(message, status, splitter_stdout(kind, "faces", face, marks),
                            cleaned, partial, files)

        def at_page(cleaned, partial=None):
            files = input_files(kind, True)
            files.update({on_disk(path): split_bitmap(kind, n) for n, path in bitmaps.items()})
            return Expected("Error:顔グラ一覧HTML %s を作成できません\n" % kind.page, 2,
                            splitter_stdout(kind, "page"), cleaned, partial, files)

        if op.path == kind.archive:
            if op.kind == "open":
                return dataclasses.replace(
                    before_folder, message="Error:%s ファイルがありません\n" % kind.archive)
            if op.kind == "read" and within == 1:
                return Expected(kind.count_message, 1, splitter_stdout(kind, "folder"),
                                files=input_files(kind, True))
            if op.kind == "read":
                face = (within - 2) // FACE_HEIGHT
                return in_loop(1, unreadable_face % face, face)
            if op.kind == "seek":
                return in_loop(1, unreadable_face % (within - 1), within - 1)
            if op.kind == "close":
                return Expected()
        if op.path == kind.palette:
            if op.kind == "open":
                return dataclasses.replace(
                    before_folder, message="Error:%s ファイルがありません\n" % kind.palette)
            if op.kind == "read":
                return dataclasses.replace(before_folder, message=kind.palette_message)
            if op.kind == "close":
                return Expected()
        if op.path == kind.folder and op.kind == "make_directory":
            return Expected()
        if op.path in face_of:
            face = face_of[op.path]
            path = op.path
            if op.kind == "create":
                return in_loop(2, "Error:BMPファイル %s を作成できません\n" % path, face)
            full = split_bitmap(kind, face)
            if op.kind == "write":
                heads = BITMAP_HEAD_WRITES[kind.depth]
                if within <= len(heads):
                    piece, marks = heads[within - 1][0], 0
                    written = sum(size for _, size in heads[:within - 1])
                else:
                    row = within - len(heads) - 1
                    piece, marks = "pixel_data", row // 12
                    written = sum(size for _, size in heads) + row * ROW_BYTES[kind.depth]
                return in_loop(2, PIECE_MESSAGES[piece] % path, face, marks, path,
                               full[:written])
            if op.kind == "close":
                return in_loop(2, PIECE_MESSAGES["pixel_data"] % path, face, 10, path, full)
        if op.path == kind.page:
            if op.kind == "create":
                return at_page(None)
            if op.kind == "write":
                return at_page(kind.page, b"".join(page_pieces(page)[:within - 1]))
            if op.kind == "close":
                return at_page(kind.page, page)
        raise AssertionError("operation %s is not one of the run" % op)


@pytest.fixture(scope="module", params=sorted(SPLITTERS))
def splitter(request, tmp_path_factory, faulty):
    kind = SPLITTERS[request.param]
    runs = SplitterRuns(kind, tmp_path_factory.mktemp("sweep_" + kind.program), faulty)
    run = runs.fault_free
    # The fault-free run is the base of every comparison: it must be right itself.
    assert run.status == 0
    expected_stdout = splitter_stdout(kind, "done")
    if kind.prompt_on_stdout:
        assert run.stdout == expected_stdout + cp932(CLOSING_PROMPT)
        assert run.stderr == b""
    else:
        assert run.stdout == expected_stdout
        assert run.stderr == cp932(CLOSING_PROMPT)
    files = input_files(kind, True)
    files.update({on_disk(bitmap_path(kind, n)): split_bitmap(kind, n)
                  for n in range(len(SPLIT_CELLS))})
    files[on_disk(kind.page)] = run.files.get(on_disk(kind.page))
    assert run.files == files
    assert files[on_disk(kind.page)].startswith(b"<!DOCTYPE HTML")
    # One open, seek and 120 reads per face; the pieces of each bitmap; the page.
    per_file = collections.Counter((op.kind, op.path) for op in runs.operations)
    bitmap_writes = len(BITMAP_HEAD_WRITES[kind.depth]) + FACE_HEIGHT
    expected_counts = {("open", kind.archive): 1, ("open", kind.palette): 1,
                       ("read", kind.palette): 1, ("close", kind.palette): 1,
                       ("make_directory", kind.folder): 1,
                       ("read", kind.archive): 1 + FACE_HEIGHT * len(SPLIT_CELLS),
                       ("seek", kind.archive): len(SPLIT_CELLS),
                       ("close", kind.archive): 1,
                       ("create", kind.page): 1, ("close", kind.page): 1,
                       ("write", kind.page): len(page_pieces(files[on_disk(kind.page)]))}
    for n in range(len(SPLIT_CELLS)):
        path = bitmap_path(kind, n)
        expected_counts.update({("create", path): 1, ("write", path): bitmap_writes,
                                ("close", path): 1})
    assert per_file == collections.Counter(expected_counts)
    return runs


SPLITTER_GROUPS = {
    "inputs": lambda kind, op: op.path in (kind.archive, kind.palette, kind.folder),
    "bitmaps": lambda kind, op: op.path.startswith(kind.folder + "\\kao0"),
    "page-create-close": lambda kind, op: op.path == kind.page and op.kind != "write",
    "page-writes": lambda kind, op: op.path == kind.page and op.kind == "write",
}


@pytest.mark.parametrize("group, removal_fails", [
    pytest.param(group, removal,
                 id=group + ("-removal-fails" if removal else ""))
    for group in SPLITTER_GROUPS for removal in (False, True)
    if not (removal and group == "inputs")])
def test_each_splitter_operation_fails_in_turn(splitter, group, removal_fails):
    kind = splitter.kind
    cases = [index for index, op in enumerate(splitter.operations)
             if SPLITTER_GROUPS[group](kind, op)
             and not (removal_fails and splitter.expected(index).cleaned is None)]
    assert cases

    def run_case(index):
        expected = splitter.expected(index)
        if removal_fails:
            expected = with_removal_failing(expected, on_disk(expected.cleaned))
        op = splitter.operations[index]
        faults = [(op.kind, op.ordinal)] + ([("remove", 1)] if removal_fails else [])
        run = splitter.run(faults)
        found = Findings("%s %s%s" % (kind.program, op, " + remove:1" if removal_fails else ""))
        check_run(found, run, expected, kind.prompt_on_stdout, splitter.fault_free,
                  splitter.reference, index, removal_fails)
        return found

    sweep(cases, run_case)


def test_folder_that_cannot_be_made_shows_at_first_bitmap(splitter):
    # Without the output folder beforehand, its failed creation goes unnoticed until the
    # first bitmap cannot be created in it.
    kind = splitter.kind
    reference = splitter.run(None, folder_exists=False)
    assert reference.stdout == splitter.fault_free.stdout
    assert reference.files == splitter.fault_free.files
    reference = Trace(reference.trace)
    make = reference.operations.index(Operation("make_directory", 1, kind.folder))
    create = reference.operations.index(Operation("create", 1, bitmap_path(kind, 0)))

    run = splitter.run([("make_directory", 1)], folder_exists=False)

    found = Findings(kind.program + " make_directory:1 without the folder")
    expected = Expected("Error:BMPファイル %s を作成できません\n" % bitmap_path(kind, 0), 2,
                        splitter_stdout(kind, "faces", 0), files=input_files(kind, False))
    check_run(found, run, expected, kind.prompt_on_stdout, splitter.fault_free, reference,
              make, False)
    # The run goes on after the ignored failure up to the bitmap it cannot create.
    found.items = [item for item in found.items if item[0] != AFTER_FAILURE]
    start, _ = reference.line_span(make)
    end = reference.starts[create + 1]
    found.equal_lines("trace", run.trace, reference.marked(make)[:end + len(" FAIL")])
    assert not found.items, "\n".join(text for _, text in found.items)


# --- mugpack ---------------------------------------------------------------------------

PACK_FOLDER = "KAO_BMP"
PACK_ARCHIVE = "KAO_BMP\\kaodata.s7"
OLD_ARCHIVE = b"an archive from before"
PACK_NAMES = ["kao%03d.bmp" % n for n in range(NORMAL_COUNT)]
INDEX_END = 1 + NORMAL_COUNT             # the last index write's ordinal
CELL_AREA = 4 + 16 * NORMAL_COUNT
CELL_SIZE = 11520
MUGPACK_CELL_MESSAGE = "\nError:顔グラファイル %s ビットマップデータ書き込み失敗\n" % PACK_ARCHIVE


def pack_stdout(face=None, marks=None, stage="faces"):
    """Standard output up to a stage: "listed" (the two path lines), "counted" (the
    edition line), "faces" (the progress lines of the faces before face, then face's begun
    line with its marks when marks is not None), "done"."""
    text = ("三国志7 顔グラ結合(8bitBMPファイル群 → kaodata.s7)\n"
            "BMPファイルのフォルダ( KAO_BMP )>"
            "BMP FilePath = KAO_BMP\\kao???.bmp\n"
            "kaodata OutputFilePath = %s\n" % PACK_ARCHIVE)
    if stage == "listed":
        return cp932(text)
    text += "[通常版]BMPファイル数 = %d (顔グラNo = 0 ～ %d)\n" % (NORMAL_COUNT, NORMAL_COUNT - 1)
    if stage == "counted":
        return cp932(text)
    done_faces = NORMAL_COUNT if stage == "done" else face
    for n in range(done_faces):
        path = "%s\\%s" % (PACK_FOLDER, PACK_NAMES[n])
        text += "%s ..........    \r%s %s ok\r" % (path, path, "o" * 10)
    if marks is not None:
        path = "%s\\%s" % (PACK_FOLDER, PACK_NAMES[face])
        text += "%s ..........    \r%s %s" % (path, path, "o" * marks)
    if stage == "done":
        text += "\n完了.\n"
    return cp932(text)


class PackRuns:
    """mugpack's fault-free run over 648 bitmaps and what each of its operations is.

    Each worker has a folder of its own: hard links to the bitmaps made once, and a
    kaodata.s7 from before; after each run the folder is put back as it was."""

    def __init__(self, root, launcher):
        self.root = pathlib.Path(root)
        self.launcher = launcher
        self.stock = self.root / "stock"
        self.cells = make_face_folder(self.stock, NORMAL_COUNT)
        self.stock_inode = {name: (self.stock / name).stat().st_ino for name in PACK_NAMES}
        self.archive = archive_bytes(self.cells)
        self.places = queue.SimpleQueue()
        self.fault_free = self.run(None)
        self.reference = Trace(self.fault_free.trace)
        self.operations = self.reference.operations
        self.face_of = {}
        self.within = []
        seen = collections.Counter()
        for op in self.operations:
            seen[(op.kind, op.path)] += 1
            self.within.append(seen[(op.kind, op.path)])
            if op.kind == "open":
                self.face_of[op.path] = len(self.face_of)

    def take_place(self):
        try:
            return self.places.get_nowait()
        except queue.Empty:
            place = pathlib.Path(tempfile.mkdtemp(dir=self.root))
            (place / PACK_FOLDER).mkdir()
            return place

    def run(self, faults, traced=True):
        place = self.take_place()
        folder = place / PACK_FOLDER
        trace = place / "trace.txt"
        # Back to the input of every run: the 648 linked bitmaps and the old archive.
        for entry in os.scandir(folder):
            if self.stock_inode.get(entry.name) != entry.inode():
                if entry.is_dir(follow_symlinks=False):
                    shutil.rmtree(entry.path)
                else:
                    os.unlink(entry.path)
        for name in PACK_NAMES:
            if not (folder / name).exists():
                os.link(self.stock / name, folder / name)
        (folder / "kaodata.s7").write_bytes(OLD_ARCHIVE)
        trace.unlink(missing_ok=True)

        result = self.launcher.run("mugpack", b"\n", cwd=place,
                                  env=fault_environment(trace if traced else None, faults))

        # The bitmaps are links to the stock: one that is not the stock's file any more
        # shows with its bytes.
        files = {}
        for entry in os.scandir(folder):
            if self.stock_inode.get(entry.name) == entry.inode():
                files[entry.name] = None
            else:
                files[entry.name] = pathlib.Path(entry.path).read_bytes()
        run = Run(result.stdout, result.stderr, result.returncode,
                  trace.read_bytes() if traced else None, files)
        self.places.put(place)
        return run

    def files_with(self, archive):
        files = {name: None for name in PACK_NAMES}
        if archive is not None:
            files["kaodata.s7"] = archive
        return files

    def expected(self, index):
        op = self.operations[index]
        within = self.within[index]
        gone = self.files_with(None)

        def in_loop(message, face, marks=None, written=None):
            written = CELL_AREA + CELL_SIZE * face if written is None else written
            return Expected(message, 1, pack_stdout(face, marks), PACK_ARCHIVE,
                            self.archive[:written], gone)

        if op.kind == "list" and op.path == PACK_FOLDER:
            return Expected("Error:BMPファイルがありません\n", 1, pack_stdout(stage="listed"),
                            files=self.files_with(OLD_ARCHIVE))
        if op.path == PACK_ARCHIVE:
            if op.kind == "create":
                return Expected("Error:%sファイルが作成できません\n" % PACK_ARCHIVE, 2,
                                pack_stdout(stage="counted"), files=self.files_with(OLD_ARCHIVE))
            if op.kind == "write" and within == 1:
                return Expected("Error:顔グラファイル %s 顔グラ個数書き込み失敗\n" % PACK_ARCHIVE,
                                2, pack_stdout(stage="counted"), PACK_ARCHIVE, b"", gone)
            if op.kind == "write" and within <= INDEX_END:
                return Expected("Error:顔グラファイル %s 顔グラ情報書き込み失敗\n" % PACK_ARCHIVE,
                                2, pack_stdout(stage="counted"), PACK_ARCHIVE,
                                self.archive[:4 + 16 * (within - 2)], gone)
            if op.kind == "write":
                face, row = divmod(within - INDEX_END - 1, FACE_HEIGHT)
                return in_loop(MUGPACK_CELL_MESSAGE, face, row // 12,
                               CELL_AREA + CELL_SIZE * face + 96 * row)
            if op.kind == "close":
                return in_loop(MUGPACK_CELL_MESSAGE, NORMAL_COUNT, written=len(self.archive))
        if op.path in self.face_of:
            face = self.face_of[op.path]
            if op.kind == "open":
                return in_loop("Error:BMPファイル %s がありません\n" % op.path, face)
            if op.kind == "read" and within == 1:
                return in_loop("\nError:BMPファイル %s BMPヘッダ読み込み失敗\n" % op.path, face, 0)
            if op.kind in ("read", "seek"):
                return in_loop("\nError:BMPファイル %s ビットマップデータ読み込み失敗\n" % op.path,
                               face, 0)
            if op.kind == "close":
                return Expected()
        raise AssertionError("operation %s is not one of the run" % op)


@pytest.fixture(scope="module")
def packer(tmp_path_factory, faulty):
    runs = PackRuns(tmp_path_factory.mktemp("sweep_mugpack"), faulty)
    run = runs.fault_free
    assert run.status == 0
    assert run.stdout == pack_stdout(stage="done")
    assert run.stderr == cp932(CLOSING_PROMPT)
    assert run.files == runs.files_with(runs.archive)
    # The bitmaps come in name order, each opened, read (header and 120 rows), sought
    # and closed once; the archive gets the count, 648 index entries and 120 rows a cell.
    assert list(runs.face_of) == ["%s\\%s" % (PACK_FOLDER, name) for name in PACK_NAMES]
    per_kind = collections.Counter((op.kind, op.path == PACK_ARCHIVE) for op in runs.operations)
    assert per_kind == collections.Counter({
        ("list", False): 1, ("create", True): 1,
        ("write", True): INDEX_END + FACE_HEIGHT * NORMAL_COUNT,
        ("open", False): NORMAL_COUNT, ("read", False): (1 + FACE_HEIGHT) * NORMAL_COUNT,
        ("seek", False): NORMAL_COUNT, ("close", False): NORMAL_COUNT, ("close", True): 1})
    yield runs
    # The runs only read the linked bitmaps.
    for name, cell in zip(PACK_NAMES, runs.cells):
        assert (runs.stock / name).read_bytes() == bitmap_bytes(cell)


# Faces whose reads and writes are swept in part: every 50th and the last.
SAMPLED_FACES = set(range(0, NORMAL_COUNT, 50)) | {NORMAL_COUNT - 1}
INDEX_BOUNDARIES = {1, 2, 3, 648, 649, 650}


def pack_selection(runs, group):
    """The swept operations of a group, as (index into the fault-free run, also swept
    with a failed removal, traced)."""
    chosen = []
    for index, op in enumerate(runs.operations):
        within = runs.within[index]
        on_archive = op.path == PACK_ARCHIVE
        face, row = runs.face_of.get(op.path), None
        if op.kind == "read":
            row = within - 2                   # -1: the header
        elif on_archive and op.kind == "write" and within > INDEX_END:
            face, row = divmod(within - INDEX_END - 1, FACE_HEIGHT)
        first_two = face is not None and face < 2
        sampled = face in SAMPLED_FACES
        if group == "list" and op.kind == "list":
            chosen.append((index, False, True))
        elif group == "archive" and on_archive and (
                op.kind in ("create", "close") or op.kind == "write" and within in INDEX_BOUNDARIES):
            chosen.append((index, op.kind != "create", True))
        elif group == "cell-writes" and on_archive and op.kind == "write" and \
                within not in INDEX_BOUNDARIES and row is not None and (
                first_two or sampled and row in (0, FACE_HEIGHT - 1)):
            chosen.append((index, True, True))
        elif group == "bitmap-reads" and op.kind == "read" and (
                first_two or sampled and row in (-1, 0, FACE_HEIGHT - 1)):
            chosen.append((index, True, True))
        elif not on_archive and op.kind in ("open", "seek", "close") and \
                group == "bitmap-%ss" % op.kind:
            # The trace, which costs a deep run most of its time, is taken for the named
            # bitmaps only.
            named = first_two or sampled
            chosen.append((index, op.kind != "close" and named, named))
    return chosen


PACK_GROUPS = ["list", "archive", "cell-writes", "bitmap-opens", "bitmap-reads",
               "bitmap-seeks", "bitmap-closes"]


@pytest.mark.parametrize("group", PACK_GROUPS)
def test_each_mugpack_operation_fails_in_turn(packer, group):
    cases = []
    for index, removal, traced in pack_selection(packer, group):
        cases.append((index, False, traced))
        if removal:
            cases.append((index, True, True))
    assert cases

    def run_case(case):
        # Expectations are made one run at a time: each holds part of a 7 MB archive.
        index, removal_fails, traced = case
        expected = packer.expected(index)
        if removal_fails:
            assert expected.cleaned == PACK_ARCHIVE
            expected = with_removal_failing(expected, "kaodata.s7")
        op = packer.operations[index]
        faults = [(op.kind, op.ordinal)] + ([("remove", 1)] if removal_fails else [])
        run = packer.run(faults, traced)
        found = Findings("mugpack %s%s" % (op, " + remove:1" if removal_fails else ""))
        check_run(found, run, expected, False, packer.fault_free, packer.reference, index,
                  removal_fails)
        return found

    sweep(cases, run_case)
