"""mugpack's closing key wait, on a pseudo-terminal that is the program's controlling
terminal (POSIX)."""

import fcntl
import resource
import signal
import struct
import subprocess
import termios
import time

import pytest

from terminal import TerminalRun

CLOSING_PROMPT = "プログラムを終了します。何かキーを押してください...".encode("cp932")
OPENING = ("三国志7 顔グラ結合(8bitBMPファイル群 → kaodata.s7)\n"
           "BMPファイルのフォルダ( KAO_BMP )>"
           "BMP FilePath = KAO_BMP\\kao???.bmp\n"
           "kaodata OutputFilePath = KAO_BMP\\kaodata.s7\n").encode("cp932")
NO_BITMAPS = "Error:BMPファイルがありません\n".encode("cp932")
# How long a waiting program must stay waiting.
STILL_WAITING = 0.5


@pytest.fixture
def terminal_runs():
    """Starts mugpack on terminals; closes them all after the test."""
    runs = []

    def start(native, cwd, **options):
        run = TerminalRun(native.command("mugpack"), cwd, **options)
        runs.append(run)
        return run

    yield start
    for run in runs:
        run.close()


def pending_input(descriptor):
    """The number of bytes typed on the terminal that nobody has read. In canonical mode
    the terminal counts only finished lines, so they are counted in non-canonical mode."""
    mode = termios.tcgetattr(descriptor)
    counting = list(mode)
    counting[3] &= ~termios.ICANON
    termios.tcsetattr(descriptor, termios.TCSANOW, counting)
    try:
        count = fcntl.ioctl(descriptor, termios.FIONREAD, struct.pack("i", 0))
    finally:
        termios.tcsetattr(descriptor, termios.TCSANOW, mode)
    return struct.unpack("i", count)[0]


def wait_until_raw(run, timeout=20):
    """Waits until the program has switched its terminal to raw input for the key."""
    deadline = time.monotonic() + timeout
    while run.mode()[3] & (termios.ICANON | termios.ECHO):
        assert run.process.poll() is None, "ended with status %d without waiting" % (
            run.process.returncode)
        assert time.monotonic() < deadline, "terminal never switched to raw input"
        time.sleep(0.01)


def good_folder(face_stock, tmp_path):
    face_stock.fill(tmp_path / "KAO_BMP", 648)


def no_folder(face_stock, tmp_path):
    pass


def third_bitmap_short(face_stock, tmp_path):
    face_stock.fill(tmp_path / "KAO_BMP", 678)
    (tmp_path / "KAO_BMP" / "kao002.bmp").write_bytes(b"BM")


def finish(run, timeout=20):
    """Reads the terminal while the program runs, so that its output never blocks it;
    returns its status."""
    deadline = time.monotonic() + timeout
    while run.process.poll() is None:
        assert time.monotonic() < deadline, "still running; screen: %r" % run.screen[-300:]
        run.drain(0.05)
    run.drain(0.05)
    return run.process.returncode


def at_prompt(run):
    """Reads the terminal up to the closing prompt and waits for the raw mode; returns
    where the screen stands."""
    run.read_until(CLOSING_PROMPT)
    wait_until_raw(run)
    return len(run.screen)


@pytest.mark.parametrize("make, status", [(good_folder, 0), (no_folder, 1)],
                         ids=["complete-run", "failed-run"])
def test_one_key_ends_wait(native, face_stock, tmp_path, terminal_runs, make, status):
    make(face_stock, tmp_path)
    run = terminal_runs(native, tmp_path)
    run.type(b"\n")
    shown = at_prompt(run)

    assert run.still_running_after(STILL_WAITING)
    run.type(b"k")

    assert run.wait() == status
    assert run.drain()[shown:] == b""
    assert run.mode() == run.initial_mode
    assert pending_input(run.slave) == 0


@pytest.mark.parametrize("key", [b"\x03", b"\x1a", b"\x13", b"\r", b"\x7f"],
                         ids=["ctrl-c", "ctrl-z", "ctrl-s", "enter", "backspace"])
def test_control_key_counts_as_key(native, tmp_path, terminal_runs, key):
    run = terminal_runs(native, tmp_path)
    run.type(b"\n")
    shown = at_prompt(run)

    run.type(key)

    assert run.wait(timeout=10) == 1
    assert run.drain()[shown:] == b""
    assert run.mode() == run.initial_mode
    assert pending_input(run.slave) == 0


@pytest.mark.parametrize("key", [b"\x1b[A", b"\x1bOP", b"\x1b[15~", b"\x1b",
                                 "あ".encode("utf-8"), "ソ".encode("cp932")],
                         ids=["arrow", "f1", "f5", "escape", "utf-8-character",
                              "cp932-character"])
def test_whole_key_sequence_is_taken(native, tmp_path, terminal_runs, key):
    run = terminal_runs(native, tmp_path)
    run.type(b"\n")
    shown = at_prompt(run)

    run.type(key)

    assert run.wait(timeout=10) == 1
    assert pending_input(run.slave) == 0
    assert run.drain()[shown:] == b""
    assert run.mode() == run.initial_mode


@pytest.mark.parametrize("error_on_terminal", [True, False],
                         ids=["prompt-on-terminal", "all-streams-redirected"])
def test_waits_on_terminal_with_redirected_streams(native, tmp_path, terminal_runs,
                                                   error_on_terminal):
    answers = tmp_path / "answers.txt"
    answers.write_bytes(b"\r\n")
    with open(answers, "rb") as stdin:
        if error_on_terminal:
            run = terminal_runs(native, tmp_path, stdin=stdin, stdout=subprocess.PIPE)
        else:
            run = terminal_runs(native, tmp_path, stdin=subprocess.PIPE,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            run.process.stdin.write(b"\r\n")
            run.process.stdin.close()
    if error_on_terminal:
        run.read_until(CLOSING_PROMPT)
    wait_until_raw(run)

    assert run.still_running_after(STILL_WAITING)
    run.type(b" ")

    assert run.wait() == 1
    assert run.mode() == run.initial_mode
    assert pending_input(run.slave) == 0
    with run.process.stdout:
        assert run.process.stdout.read() == OPENING
    if error_on_terminal:
        assert run.drain().endswith(NO_BITMAPS.replace(b"\n", b"\r\n") + CLOSING_PROMPT)
    else:
        assert run.drain() == b""
        with run.process.stderr:
            assert run.process.stderr.read() == NO_BITMAPS + CLOSING_PROMPT


@pytest.mark.parametrize("make, status", [(good_folder, 0), (no_folder, 1)],
                         ids=["complete-run", "failed-run"])
def test_key_typed_while_working_ends_wait(native, face_stock, tmp_path, terminal_runs,
                                           make, status):
    make(face_stock, tmp_path)
    run = terminal_runs(native, tmp_path)

    # The key comes behind the answer, before the program has read the answer.
    run.type(b"\nk")

    assert finish(run) == status
    assert run.screen.endswith(CLOSING_PROMPT)
    assert run.mode() == run.initial_mode
    assert pending_input(run.slave) == 0


def test_archive_stays_until_key_after_failure(native, face_stock, tmp_path, terminal_runs):
    third_bitmap_short(face_stock, tmp_path)
    archive = tmp_path / "KAO_BMP" / "kaodata.s7"
    run = terminal_runs(native, tmp_path)
    run.type(b"\n")
    at_prompt(run)

    assert run.still_running_after(STILL_WAITING)
    assert archive.is_file()
    run.type(b"k")

    assert run.wait() == 1
    assert not archive.exists()
    message = "\nError:BMPファイル KAO_BMP\\kao002.bmp BMPヘッダ読み込み失敗\n"
    assert run.screen.endswith(message.encode("cp932").replace(b"\n", b"\r\n") +
                               CLOSING_PROMPT)


def no_core_dump():
    resource.setrlimit(resource.RLIMIT_CORE, (0, 0))


def test_quit_key_interrupts_wait(native, face_stock, tmp_path, terminal_runs):
    third_bitmap_short(face_stock, tmp_path)
    archive = tmp_path / "KAO_BMP" / "kaodata.s7"
    run = terminal_runs(native, tmp_path, preexec=no_core_dump)
    run.type(b"\n")
    at_prompt(run)

    run.type(b"\x1c")

    assert run.wait(timeout=10) == -signal.SIGQUIT
    # The clean-up after the key never ran.
    assert archive.is_file()


def test_interrupt_key_during_question_ends_program(native, face_stock, tmp_path,
                                                   terminal_runs):
    good_folder(face_stock, tmp_path)
    run = terminal_runs(native, tmp_path)
    run.read_until("( KAO_BMP )>".encode("cp932"))

    run.type(b"KAO_\x03")

    assert run.wait(timeout=10) == -signal.SIGINT
    assert run.mode() == run.initial_mode
    assert not (tmp_path / "KAO_BMP" / "kaodata.s7").exists()
