#!/usr/bin/env python3
"""dep as a process, as people and scripts run it: its answers piped in,
consoles that fail, the end of its input, and on a terminal, where it waits
for one key after the report. The same cases run the built dep natively, or
dep.exe under Wine, on a pseudo-terminal that Wine turns into a Windows
console. The worked example's transcripts and commands are the README's
and the manual page's, and so are the error lines.

Usage: dep_test.py [--wine WINE] PROGRAM [TEST_CLASS...]
The README's blocks are read by tests/docs/readme_block.cmake, run by the cmake
that the CMAKE environment variable names (cmake by default).
"""

import contextlib
import errno
import fcntl
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import termios
import time
import unittest

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(SOURCE, "tests", "windows"))
import wine_run  # noqa: E402

WINE = None  # the Wine that runs PROGRAM, or None to run it natively
PROGRAM = ""

# How long anything the program is expected to do may take before a test gives up.
PATIENCE = 20.0


def readme(marker):
    """The README's fenced block after <!-- marker -->."""
    return subprocess.run([os.environ.get("CMAKE", "cmake"), f"-DMARKER={marker}", "-P",
                           os.path.join(SOURCE, "tests", "docs", "readme_block.cmake")],
                          capture_output=True, check=True, text=True).stdout


def manual_page():
    with open(os.path.join(SOURCE, "terminal", "dep.1"), encoding="utf-8") as page:
        return page.read()


def manual_error_lines():
    """The manual page's examples of dep's one line on standard error."""
    return [line for line in manual_page().split("\n") if line.startswith("dep: ")]


def manual_example():
    """The manual page's example, its roff escapes for a quote, a backslash
    and an empty line undone: its command, and what it prints as a pattern,
    the page showing no blank at the end of a line, nor dep.exe's CR."""
    section = manual_page().split("\n.SH EXEMPLE\n")[1].split("\n.SH ")[0]
    command, output = (re.sub(r"(?m)^\\&$", "", block.replace(r"\(aq", "'").replace(r"\e", "\\"))
                       for block in re.findall(r"^\.EX\n(.*?)\n\.EE$", section, re.S | re.M))
    lines = (re.escape(line.encode()) for line in output.split("\n"))
    return command.removeprefix("$ "), re.compile(rb"\A" + rb" *\r?\n".join(lines) + rb" *\Z")


def runs_here(where):
    """Whether a row whose platforms are `where` runs in this run."""
    return ("wine" if WINE else "native") in where


def shown(text):
    """`text` as the program writes it: dep.exe ends its lines with CR LF."""
    return (text.replace("\n", "\r\n") if WINE else text).encode()


def command(program=None):
    return ([WINE] if WINE else []) + [program or PROGRAM]


def run_piped(data, close_input=False, stdin=None, stdout=subprocess.PIPE, program=None, env=None,
              preexec_fn=None):
    """Runs the program with `data` waiting on a pipe (or on `stdin`), which
    stays open unless `close_input`, so that a read beyond the data blocks
    rather than ends; `data` as text is a shell command piped to the program
    instead. Under Wine, again when Wine, not the program, failed.
    Returns (status, out, err): status None when it did not end in time, -N
    when signal N ended it."""
    arguments = command(program)
    if isinstance(data, str):
        arguments, data = ["sh", "-c", f'{data} | "$@"', "sh", *arguments], b""

    def once():
        reader, writer = os.pipe()
        os.write(writer, data)
        if close_input:
            os.close(writer)
        try:
            process = subprocess.Popen(arguments, stdin=reader if stdin is None else stdin,
                                       stdout=stdout, stderr=subprocess.PIPE, env=env, preexec_fn=preexec_fn)
        finally:
            os.close(reader)
        try:
            out, err = process.communicate(timeout=PATIENCE)
            status = process.returncode
        except subprocess.TimeoutExpired:
            process.kill()
            out, err = process.communicate(timeout=PATIENCE)
            status = None
        finally:
            if not close_input:
                os.close(writer)
        return status, out or b"", err
    return wine_run.rerun(once) if WINE else once()


def within_patience(done, meanwhile, seconds=PATIENCE):
    """Calls `meanwhile` until `done()` holds, for `seconds` at most; returns whether it held."""
    deadline = time.monotonic() + seconds
    while not done():
        if time.monotonic() >= deadline:
            return False
        meanwhile()
    return True


@contextlib.contextmanager
def console(kind):
    """The arguments of run_piped for a run on pipes (kind None) or on the
    stream `kind` names, which fails."""
    streams = {}
    if kind == "a full disk":
        streams["stdout"] = os.open("/dev/full", os.O_WRONLY)
    elif kind == "a closed output":
        streams.update(stdout=subprocess.DEVNULL, preexec_fn=lambda: os.close(1))
    elif kind == "a directory as input":
        streams.update(stdin=os.open("/", os.O_RDONLY), stdout=subprocess.DEVNULL)
    elif kind == "a reader that has left":
        reader, streams["stdout"] = os.pipe()
        os.close(reader)
    try:
        yield streams
    finally:
        for fd in streams.values():
            if isinstance(fd, int) and fd >= 0:
                os.close(fd)


class Piped(unittest.TestCase):
    """Answers piped in, standard streams that fail, the end of the input."""

    def test_rows(self):
        # The README's command as written, the program in place of the one it names.
        readme_command, readme_program = readme("piped-example").rsplit(" | ", 1)
        self.assertEqual(readme_program, "./build/release/dep")
        manual_command, manual_output = manual_example()
        manual_command, manual_program = manual_command.rsplit(" | ", 1)
        self.assertEqual(manual_program, "dep")
        worked_example = readme("piped-output")
        until_measurement = worked_example[:worked_example.rindex("\n")]
        first_question = worked_example[:worked_example.index("\n") + 1]
        full_disk, directory = manual_error_lines()
        output_failure = full_disk[:full_disk.rindex(": ")]
        both, native, wine = ("native", "wine"), ("native",), ("wine",)
        # name, where, console, answers (text: a command that writes them),
        # whether the input ends after them, output (None: not captured) and
        # error (each text, or a pattern), status (-N: signal N)
        rows = [
            ("the README's piped example", both, None, readme_command, False, worked_example, "", 0),
            ("the manual page's example", both, None, manual_command, False, manual_output, "", 0),
            ("the worked example, no key awaited", both, None, b"H\n42\n178\n480\n", False,
             worked_example, "", 0),
            ("answers ended by CR LF", both, None, b"H\r\n42\r\n178\r\n480\r\n", False,
             worked_example, "", 0),
            ("0 measured: no report, no key", both, None, b"H 42 178 0\n", False, until_measurement, "", 0),
            ("the input ends at the first question", both, None, b"", True, first_question, "", 0),
            ("the input ends at the measurement", both, None, b"H 42 178", True, until_measurement, "", 0),
            ("a full disk", both, "a full disk", b"H 42 178 480\n", False, None, full_disk + "\n", 1),
            ("a closed output", native, "a closed output", b"", True, None,
             f"{output_failure}: {os.strerror(errno.EBADF)}\n", 1),
            ("a directory as input", native, "a directory as input", b"", True, None, directory + "\n", 1),
            ("a reader that has left: SIGPIPE", native, "a reader that has left", b"H 42 178 480\n", False,
             None, "", -signal.SIGPIPE),
            ("a reader that has left: the write fails", wine, "a reader that has left", b"H 42 178 480\n",
             False, None, re.compile(rf"^{output_failure}: [^\r\n]+\r\n$".encode()), 1),
        ]
        for name, where, kind, answers, ends, out, err, status in rows:
            if not runs_here(where):
                continue
            with self.subTest(name), console(kind) as streams:
                got_status, got_out, got_err = run_piped(answers, ends, **streams)
                for got, expected in ((got_out, out), (got_err, err)):
                    if isinstance(expected, re.Pattern):
                        self.assertRegex(got, expected)
                    elif expected is not None:
                        self.assertEqual(got, shown(expected))
                self.assertEqual(got_status, status)


def visible(screen):
    """The text on the screen without escape sequences and blanks: Wine
    redraws its console, and turns blanks into cursor moves."""
    text = screen.decode("utf-8", "replace")
    text = re.sub(r"\x1b\][^\x07\x1b]*(\x07|\x1b\\)", "", text)  # window title
    text = re.sub(r"\x1b\[[0-?]*[ -/]*[@-~]", "", text)
    text = re.sub(r"\x1b.", "", text)
    return re.sub(r"\s", "", text)


def kernel_view(pid, name):
    """The process's /proc/PID/NAME, '' once it is gone."""
    try:
        with open(f"/proc/{pid}/{name}") as view:
            return view.read()
    except OSError:
        return ""


def state(pid):
    """The process's state as the kernel shows it ('T' stopped, 'Z' ended), '' once it is gone."""
    fields = kernel_view(pid, "stat").rpartition(")")[2].split()  # after the command's name
    return fields[0] if fields else ""


class Terminal:
    """The program in the foreground of a fresh pseudo-terminal's session. A
    small session leader stands in for the shell: it starts the program in
    a process group of its own, so that job control works as at a real
    prompt, and exits with the program's status (128 + N when signal N ended
    it). Natively the test keeps the terminal's other side open, to see what
    the program left in its input; under Wine it does not, so that reading
    the screen ends once Wine's console has left it too."""

    def __init__(self):
        self.master, slave = os.openpty()
        self.before = termios.tcgetattr(slave)
        self.screen = b""
        self.closed = False
        self.status = None
        report_read, report = os.pipe()
        self.leader = os.fork()
        if self.leader == 0:
            try:
                os.close(self.master)
                os.setsid()
                fcntl.ioctl(slave, termios.TIOCSCTTY, 0)
                child = os.fork()
                if child == 0:
                    os.setpgid(0, 0)
                    signal.signal(signal.SIGTTOU, signal.SIG_IGN)
                    os.tcsetpgrp(slave, os.getpid())
                    for number in (signal.SIGTTOU, signal.SIGPIPE, signal.SIGINT):
                        signal.signal(number, signal.SIG_DFL)
                    for fd in (0, 1, 2):
                        os.dup2(slave, fd)
                    os.execv(command()[0], command())
                try:
                    os.setpgid(child, child)  # as the child does, if it has not run yet
                except OSError:
                    pass
                os.write(report, child.to_bytes(4, "little"))
                os.close(slave)
                while True:
                    _, status = os.waitpid(child, os.WUNTRACED | os.WCONTINUED)
                    if os.WIFEXITED(status) or os.WIFSIGNALED(status):
                        os._exit(os.WEXITSTATUS(status) if os.WIFEXITED(status) else 128 + os.WTERMSIG(status))
            finally:
                os._exit(126)
        os.close(report)
        self.pid = int.from_bytes(os.read(report_read, 4), "little")
        os.close(report_read)
        self.slave = None if WINE else slave
        if WINE:
            os.close(slave)

    def close(self):
        if self.running():
            for pid in (self.pid, self.leader):
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            os.waitpid(self.leader, 0)
        os.close(self.master)
        if self.slave is not None:
            os.close(self.slave)

    def type(self, keys):
        os.write(self.master, keys)

    def read(self, seconds):
        """Adds what the screen shows within `seconds` at most."""
        if not self.closed and select.select([self.master], [], [], seconds)[0]:
            try:
                self.screen += os.read(self.master, 4096)
            except OSError as error:
                if error.errno != errno.EIO:
                    raise
                self.closed = True  # no one has the terminal any more

    def wait_for(self, ready, what):
        """Reads the screen until `ready()` holds, within PATIENCE; fails the
        test with `what` it waited for and the screen so far."""
        if not within_patience(ready, lambda: self.read(0.01)):
            raise AssertionError(f"waited {PATIENCE} s for {what}; the screen shows {self.screen!r}")

    def read_until(self, text):
        self.wait_for(lambda: visible(text.encode()) in visible(self.screen), repr(text))

    def settings(self):
        # On this side, the terminal's own settings.
        return termios.tcgetattr(self.master)

    def in_key_mode(self):
        return self.settings()[3] & termios.ICANON == 0

    def running(self):
        if self.status is None:
            pid, status = os.waitpid(self.leader, os.WNOHANG)
            if pid == self.leader:
                self.status = os.waitstatus_to_exitcode(status)
        return self.status is None

    def answer(self, question, keys):
        """Types `keys` once `question` is on the screen; under Wine, once Wine
        has the terminal out of canonical mode, as until then the terminal
        itself would echo them and make the Enter a line feed."""
        self.read_until(question)
        if WINE:
            self.wait_for(self.in_key_mode, "Wine to take the terminal out of canonical mode")
        self.type(keys)

    def press(self, keys):
        """Presses the key that sends `keys` (in pieces, when a tuple) after
        the report, until the program ends or stops waiting. Natively the
        wait shows: the terminal leaves canonical mode. Under Wine nothing
        shows when the wait begins, and a key pressed before is dropped with
        what was pending, so the key is pressed again. The program is held
        stopped while the test checks that it still runs and types, so that
        no key reaches a terminal Wine has given back, which would echo it."""
        pieces = keys if isinstance(keys, tuple) else (keys,)
        if not WINE:
            self.wait_for(self.in_key_mode, "the key wait")
            for piece in pieces[:-1]:
                self.type(piece)
                # The program has read it and waits for the rest of the key, in poll's kernel function.
                self.wait_for(lambda: "poll" in kernel_view(self.pid, "wchan"), "the program to wait for more bytes")
            self.type(pieces[-1])
            return

        def attempt():
            os.kill(self.pid, signal.SIGSTOP)
            self.wait_for(lambda: state(self.pid) in ("T", "t", "Z", ""), "dep.exe to stop")
            if state(self.pid) in ("T", "t") and self.in_key_mode():
                self.type(b"".join(pieces))
            os.kill(self.pid, signal.SIGCONT)
            within_patience(lambda: not self.running(), lambda: self.read(0.01), seconds=1.0)
        within_patience(lambda: not self.running(), attempt)

    def exit_code(self):
        """The session's exit code once the program has ended and, under
        Wine, every process has left the terminal, so that the screen is
        whole; None when not in time."""
        within_patience(lambda: not self.running() and (self.closed or not WINE), lambda: self.read(0.01))
        return None if self.running() else self.status

    def pending_after_line_end(self):
        """Bytes a reader of the terminal would get, in canonical mode, once
        one more line end is typed: 1 when the program left nothing behind."""
        def pending():
            count = bytearray(4)
            fcntl.ioctl(self.slave, termios.FIONREAD, count)
            return int.from_bytes(count, sys.byteorder)
        self.type(b"\n")
        within_patience(pending, lambda: self.read(0.001))
        return pending()


class OnATerminal(unittest.TestCase):
    """The consultation typed at a terminal, and the key wait after the report."""

    def consult(self, ahead=b""):
        """A session in which the worked example's answers are typed after each
        question, `ahead` with the last one; it waits for the key."""
        session = Terminal()
        self.addCleanup(session.close)
        # A terminal's Enter is a carriage return.
        for question, answer in (("(E)nfant ?", b"H\r"), ("Quel est l age", b"42\r"),
                                 ("(en cm)", b"178\r"), ("(0 pour quitter)", b"480\r" + ahead)):
            session.answer(question, answer)
        return session

    @staticmethod
    def consultation(ahead=b""):
        """The README's consultation as the screen shows it, with what was
        typed ahead of the key wait echoed by the terminal itself."""
        return readme("consultation").replace("480\n", "480\n" + ahead.decode())

    def assert_screen(self, session, ahead, echo):
        """The screen shows the consultation, then the key's echo and nothing more."""
        consultation = self.consultation(ahead)
        if WINE:
            self.assertTrue(visible(session.screen).endswith(visible((consultation + echo).encode())),
                            session.screen)
        else:
            expected = (consultation + echo).replace("\n", "\r\n").encode()
            session.wait_for(lambda: len(session.screen) >= len(expected), "the whole screen")
            self.assertEqual(session.screen, expected)

    def test_rows(self):
        both, native = ("native", "wine"), ("native",)
        # name, where, keys typed ahead with the last answer, whether Ctrl-Z
        # suspends the wait first (the terminal given back until it resumes),
        # key (a tuple: in pieces; a number: that signal sent instead), exit
        # code, echo
        rows = [
            ("a letter, once the keys typed ahead are dropped", native, b"zz", False, b"k", 0, "k"),
            ("a letter", both, b"", False, b"k", 0, "k"),
            ("a letter, once resumed", native, b"", True, b"q", 0, "q"),
            ("an accented letter", both, b"", False, "\u00e9".encode(), 0, "\u00e9"),
            ("an arrow, one key of three bytes", both, b"", False, b"\x1b[A", 0, ""),
            ("an arrow whose bytes come apart", native, b"", False, (b"\x1b", b"[A"), 0, ""),
            ("Ctrl-C", native, b"", False, b"\x03", 128 + signal.SIGINT, ""),
            ("SIGTERM", native, b"", False, signal.SIGTERM, 128 + signal.SIGTERM, ""),
        ]
        for name, where, ahead, suspended, key, code, echo in rows:
            if not runs_here(where):
                continue
            with self.subTest(name):
                session = self.consult(ahead)
                # All read first: the terminal drops what it has not shown when Ctrl-C or Ctrl-Z is typed.
                session.read_until(self.consultation(ahead))
                self.assertTrue(session.running())
                if suspended:
                    session.wait_for(session.in_key_mode, "the key wait")
                    session.type(b"\x1a")  # Ctrl-Z
                    session.wait_for(lambda: state(session.pid) == "T", "the program to stop")
                    self.assertEqual(session.settings(), session.before)
                    os.kill(session.pid, signal.SIGCONT)
                if isinstance(key, int):
                    session.wait_for(session.in_key_mode, "the key wait")
                    os.kill(session.pid, key)
                else:
                    session.press(key)
                self.assertEqual(session.exit_code(), code)
                self.assert_screen(session, ahead, echo)
                self.assertEqual(session.settings(), session.before)
                if not WINE:
                    self.assertEqual(session.pending_after_line_end(), 1)


class WineRun(unittest.TestCase):
    """Runs that Wine, not the program, failed are run again; no other is."""

    def test_only_a_silent_failure_or_a_fault_wine_reports_is_wines(self):
        loader = b"Inconsistency detected by ld.so: dl-fini.c: 87: _dl_fini: Assertion failed!\n"
        for status, out, err, wines in (
                (1, b"", b"", True),
                (0, b"[  PASSED  ] 1 test.\n", loader, True),
                (127, b"", loader, True),
                (1, b"", b"wine client error:0: recvmsg: Connection reset by peer\n", True),
                (0, b"", b"", False),
                (1, b"[  FAILED  ] 1 test.\n", b"", False),
                (1, b"", b"dep: impossible d ecrire la sortie standard: ...\r\n", False),
                (None, b"", b"", False)):
            self.assertEqual(wine_run.failed_in_wine(status, out, err), wines, (status, out, err))

    def test_a_run_wine_failed_is_run_again_and_the_last_one_counts(self):
        folder = tempfile.mkdtemp(prefix="dep-wine-run-")
        self.addCleanup(shutil.rmtree, folder)
        runs = os.path.join(folder, "runs")

        def through_wine_run(script):
            # /bin/sh stands in for Wine: the script counts its runs in a file.
            with open(os.path.join(folder, "program"), "w") as program:
                program.write(f"echo run >> {runs}\n{script}\n")
            if os.path.exists(runs):
                os.remove(runs)
            result = subprocess.run([sys.executable, wine_run.__file__, "/bin/sh", program.name],
                                    capture_output=True, timeout=PATIENCE)
            with open(runs) as counted:
                return result.returncode, result.stdout, len(counted.readlines())

        self.assertEqual(through_wine_run(f'[ $(wc -l < {runs}) -ge 2 ] && echo ok || exit 1'),
                         (0, b"ok\n", 2))
        self.assertEqual(through_wine_run("exit 1"), (1, b"", 3))
        self.assertEqual(through_wine_run("echo FAILED; exit 1"), (1, b"FAILED\n", 1))
        self.assertEqual(through_wine_run("exit 0"), (0, b"", 1))


if __name__ == "__main__":
    arguments = sys.argv[1:]
    if arguments[0] == "--wine":
        WINE, arguments = arguments[1], arguments[2:]
    PROGRAM = arguments[0]
    sys.argv[1:] = arguments[1:]
    unittest.main(verbosity=2)
