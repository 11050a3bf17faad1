"""Driving a program through a pseudo-terminal that becomes its controlling terminal."""

import fcntl
import os
import select
import subprocess
import termios
import time


class TerminalRun:
    """A program started in a new session whose controlling terminal is a pty we hold."""

    def __init__(self, command, cwd, stdin=None, stdout=None, stderr=None, preexec=None):
        self.master, slave = os.openpty()
        self.slave_name = os.ttyname(slave)
        # The terminal's mode before the program could change it.
        self.initial_mode = termios.tcgetattr(slave)

        def take_terminal():
            os.setsid()
            fcntl.ioctl(slave, termios.TIOCSCTTY, 0)
            if preexec is not None:
                preexec()

        self.process = subprocess.Popen(
            command,
            cwd=cwd,
            stdin=slave if stdin is None else stdin,
            stdout=slave if stdout is None else stdout,
            stderr=slave if stderr is None else stderr,
            preexec_fn=take_terminal,
            pass_fds=(slave,),
        )
        self.slave = slave
        self.screen = b""

    def read_until(self, marker, timeout=20):
        """Collects what the program wrote to the terminal until the marker shows up."""
        deadline = time.monotonic() + timeout
        while marker not in self.screen:
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                raise TimeoutError("%r not seen; screen: %r" % (marker, self.screen))
            ready, _, _ = select.select([self.master], [], [], remaining)
            if ready:
                try:
                    chunk = os.read(self.master, 4096)
                except OSError:
                    chunk = b""
                if not chunk:
                    raise EOFError("terminal closed; screen: %r" % self.screen)
                self.screen += chunk
        return self.screen

    def drain(self, seconds=0.3):
        """Reads whatever else arrives within the given time."""
        deadline = time.monotonic() + seconds
        while True:
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                return self.screen
            ready, _, _ = select.select([self.master], [], [], remaining)
            if not ready:
                return self.screen
            try:
                chunk = os.read(self.master, 4096)
            except OSError:
                return self.screen
            if not chunk:
                return self.screen
            self.screen += chunk

    def type(self, data):
        os.write(self.master, data)

    def still_running_after(self, seconds):
        try:
            self.process.wait(timeout=seconds)
            return False
        except subprocess.TimeoutExpired:
            return True

    def wait(self, timeout=20):
        return self.process.wait(timeout=timeout)

    def mode(self):
        return termios.tcgetattr(self.slave)

    def close(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        os.close(self.master)
        os.close(self.slave)
