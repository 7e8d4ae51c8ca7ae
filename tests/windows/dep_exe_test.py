#!/usr/bin/env python3
"""dep.exe as a Windows program under Wine: with piped standard streams, on a
pseudo-terminal, which Wine turns into a Windows console, and installed by its
Windows Installer package; and the rule by which a run that Wine itself failed
is run again.

Usage: dep_exe_test.py WINE DEP_EXE [TEST_CLASS...]
The installer's tests take the package from the environment: DEP_MSI,
DEP_NEXT_MSI, the same built at a higher version, DEP_REBUILT_MSI, another
build of its version, and DEP_SIGNED_MSI, the package signed; DEP_EXE is then
dep.exe as it ships.
"""

import errno
import fcntl
import glob
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

import wine_run

WINE = ""
DEP = ""

# How long anything the program is expected to do may take before a test gives up.
PATIENCE = 10.0

WORKED_EXAMPLE = (
    "Le patient est il un (H)omme , une (F)emme ou un (E)nfant ? \n"
    "Quel est l age de l individu ? l age le plus proche est 45 ans\n"
    "\nQuel est la taille l individu ? (en cm) la taille la plus proche est 175\n"
    "La valeur theorique de la DEP est 631 L/Min\n"
    "Entrez le resultat du test DEP effectue sur le patient (0 pour quitter) \n"
    "La valeur mesuree correspond a 76.1 % de la valeur theorique"
)

# The same consultation as a person sees it on the console, answers echoed.
ON_THE_CONSOLE = (
    "Le patient est il un (H)omme , une (F)emme ou un (E)nfant ? H\n"
    "\nQuel est l age de l individu ? 42\n"
    "l age le plus proche est 45 ans\n"
    "\nQuel est la taille l individu ? (en cm) 178\n"
    "la taille la plus proche est 175\n"
    "La valeur theorique de la DEP est 631 L/Min\n"
    "Entrez le resultat du test DEP effectue sur le patient (0 pour quitter) 480\n"
    "\nLa valeur mesuree correspond a 76.1 % de la valeur theorique"
)


def crlf(text):
    return text.replace("\n", "\r\n").encode()


def run_piped(data, stdout=subprocess.PIPE, program=None, env=None):
    """Runs dep.exe (or `program`) with `data` on a pipe whose writing end
    stays open, so that a read beyond the data would block rather than end;
    again when Wine, not the program, failed. Returns (out, err, status),
    status None when it did not end in time."""
    status, out, err = wine_run.rerun(lambda: run_piped_once(data, stdout, program, env))
    return out, err, status


def run_piped_once(data, stdout, program, env):
    process = subprocess.Popen([WINE, program or DEP], stdin=subprocess.PIPE, stdout=stdout,
                               stderr=subprocess.PIPE, env=env)
    process.stdin.write(data)
    process.stdin.flush()
    streams = {f.fileno(): f for f in (process.stdout, process.stderr) if f is not None}
    collected = {fd: b"" for fd in streams}
    deadline = time.monotonic() + PATIENCE
    while streams and time.monotonic() < deadline:
        ready, _, _ = select.select(list(streams), [], [], deadline - time.monotonic())
        for fd in ready:
            chunk = os.read(fd, 4096)
            if chunk:
                collected[fd] += chunk
            else:
                del streams[fd]
    try:
        status = process.wait(max(deadline - time.monotonic(), 0.1))
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
        status = None
    process.stdin.close()
    out = collected.get(process.stdout.fileno(), b"") if process.stdout else b""
    err = collected[process.stderr.fileno()]
    for f in (process.stdout, process.stderr):
        if f is not None:
            f.close()
    return status, out, err


class Piped(unittest.TestCase):
    def test_prints_the_worked_example_with_windows_line_ends_and_waits_for_no_key(self):
        for answers in (b"H\n42\n178\n480\n", b"H\r\n42\r\n178\r\n480\r\n"):
            out, err, status = run_piped(answers)
            self.assertEqual(out, crlf(WORKED_EXAMPLE), answers)
            self.assertEqual(err, b"", answers)
            self.assertEqual(status, 0, answers)

    def test_lost_output_is_reported_in_one_line_with_status_one(self):
        with open("/dev/full", "wb") as full:
            out, err, status = run_piped(b"H 42 178 480\n", stdout=full)
        self.assertEqual(err, b"dep: impossible d ecrire la sortie standard: "
                              b"No space left on device\r\n")
        self.assertEqual(status, 1)

        # A reader that has left: on Windows the write fails, no signal comes.
        reader, writer = os.pipe()
        os.close(reader)
        try:
            out, err, status = run_piped(b"E 137 300\n", stdout=writer)
        finally:
            os.close(writer)
        self.assertRegex(err, rb"^dep: impossible d ecrire la sortie standard: [^\r\n]+\r\n$")
        self.assertEqual(status, 1)


def visible(screen):
    """The text of Wine's console output without its escape sequences and
    blanks: Wine redraws the screen, and turns blanks into cursor moves."""
    text = screen.decode("utf-8", "replace")
    text = re.sub(r"\x1b\][^\x07\x1b]*(\x07|\x1b\\)", "", text)  # window title
    text = re.sub(r"\x1b\[[0-?]*[ -/]*[@-~]", "", text)
    text = re.sub(r"\x1b.", "", text)
    return re.sub(r"\s", "", text)


class Terminal:
    """dep.exe under Wine in a new session on a fresh pseudo-terminal. The
    test keeps only the master side, so that reading it ends (EIO) once every
    process that had the terminal has left."""

    def __init__(self):
        self.master, slave = os.openpty()
        self.before = termios.tcgetattr(slave)
        self.screen = b""
        self.closed = False
        self.pid = os.fork()
        if self.pid == 0:
            try:
                os.setsid()
                fcntl.ioctl(slave, termios.TIOCSCTTY, 0)
                for fd in (0, 1, 2):
                    os.dup2(slave, fd)
                os.close(self.master)
                os.execv(WINE, [WINE, DEP])
            finally:
                os._exit(127)
        os.close(slave)
        self.status = None

    def close(self):
        if self.status is None:
            os.kill(self.pid, signal.SIGKILL)
            os.waitpid(self.pid, 0)
        os.close(self.master)

    def type(self, keys):
        os.write(self.master, keys)

    def read_for(self, seconds):
        """Collects screen output for at most `seconds`, less once the
        terminal has no more writers."""
        deadline = time.monotonic() + seconds
        while not self.closed:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.master], [], [], left)[0]:
                return
            try:
                self.screen += os.read(self.master, 4096)
            except OSError as error:
                if error.errno != errno.EIO:
                    raise
                self.closed = True

    def wait_for(self, ready, what):
        """Reads the screen until `ready()` holds, within PATIENCE; fails the
        test with `what` it was waiting for and the screen so far."""
        deadline = time.monotonic() + PATIENCE
        while not ready():
            if time.monotonic() >= deadline:
                raise AssertionError(f"waited {PATIENCE} s for {what}; the screen shows: "
                                     f"{visible(self.screen)!r}")
            self.read_for(0.01)

    def read_until(self, text):
        self.wait_for(lambda: visible(text.encode()) in visible(self.screen), repr(text))

    def settings(self):
        # On the master side, these are the terminal's own settings.
        return termios.tcgetattr(self.master)

    def taken_by_wine(self):
        return self.settings()[3] & termios.ICANON == 0

    def answer(self, question, keys):
        """Types `keys` once `question` is on the screen and Wine has the
        terminal out of canonical mode: until then the terminal itself would
        echo them and turn the carriage return into a line feed."""
        self.read_until(question)
        self.wait_for(self.taken_by_wine, "Wine to take the terminal out of canonical mode")
        self.type(keys)

    def running(self):
        if self.status is None:
            pid, status = os.waitpid(self.pid, os.WNOHANG)
            if pid == self.pid:
                self.status = status
        return self.status is None

    def press(self, key):
        """Presses `key` after the report until dep.exe ends. The wait drops
        what is pending when it begins, and nothing on the screen tells when
        that is: a key that came too early is dropped, so the key is pressed
        again. dep.exe is held stopped while the test checks that it still
        runs and types, so that no key reaches a terminal Wine has given back,
        where the terminal itself would echo it."""
        deadline = time.monotonic() + PATIENCE
        while time.monotonic() < deadline:
            os.kill(self.pid, signal.SIGSTOP)
            _, status = os.waitpid(self.pid, os.WUNTRACED)
            if not os.WIFSTOPPED(status):
                self.status = status
                return
            if self.taken_by_wine():
                self.type(key)
            os.kill(self.pid, signal.SIGCONT)
            retry = time.monotonic() + 1.0
            while self.running() and time.monotonic() < retry:
                self.read_for(0.01)
            if not self.running():
                return

    def exit_code(self):
        """dep.exe's exit code once it has ended and every process has left
        the terminal (so the screen is complete), or None when not in time."""
        deadline = time.monotonic() + PATIENCE
        while (self.running() or not self.closed) and time.monotonic() < deadline:
            self.read_for(0.01)
        if self.running() or not self.closed:
            return None
        return os.waitstatus_to_exitcode(self.status)


class OnAConsole(unittest.TestCase):
    def consult_until_key_wait(self):
        session = Terminal()
        self.addCleanup(session.close)
        # A console's Enter is a carriage return.
        for question, answer in (("(E)nfant ?", b"H\r"), ("Quel est l age", b"42\r"),
                                 ("(en cm)", b"178\r"), ("(0 pour quitter)", b"480\r")):
            session.answer(question, answer)
        # The Enter of the measured value does not end the wait.
        session.read_until(ON_THE_CONSOLE)
        self.assertTrue(session.running())
        return session

    def test_waits_after_the_report_and_echoes_a_printable_key(self):
        for key, shown in ((b"k", "k"), ("\u00e9".encode(), "\u00e9")):
            session = self.consult_until_key_wait()
            session.press(key)
            self.assertEqual(session.exit_code(), 0, key)
            self.assertTrue(visible(session.screen).endswith(visible(ON_THE_CONSOLE.encode()) + shown),
                            visible(session.screen))
            self.assertEqual(session.settings(), session.before, key)

    def test_an_arrow_ends_the_wait_with_nothing_echoed(self):
        session = self.consult_until_key_wait()
        session.press(b"\x1b[A")
        self.assertEqual(session.exit_code(), 0)
        self.assertTrue(visible(session.screen).endswith(visible(ON_THE_CONSOLE.encode())),
                        visible(session.screen))
        self.assertEqual(session.settings(), session.before)


class WineFaults(unittest.TestCase):
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


class Installer(unittest.TestCase):
    """The Windows Installer package as a hospital's IT deploys it, silently,
    with msiexec, in a fresh Wine prefix that the tests share: each test
    starts and ends with nothing of dep installed."""

    FOLDER = "C:\\Program Files\\dep"
    CHOSEN_FOLDER = "C:\\Program Files\\Pneumologie"
    FILES = ["CHANGEMENTS.txt", "LICENCES-TIERCES.txt", "LICENSE.txt", "LISEZMOI.txt", "dep.exe"]
    # The user's value that keeps the Start-menu entry's component, and the
    # machine's that keeps the folder.
    START_MENU_KEY = "HKCU\\Software\\dep"
    FOLDER_KEY = "HKLM\\Software\\dep"
    # The Start-menu entries, named for a ward, and the file each opens.
    ENTRIES = {"dep - débit expiratoire de pointe.lnk": "dep.exe", "dep - mode d’emploi.lnk": "LISEZMOI.txt"}
    # msiexec's 1603, "a fatal error", as a POSIX exit status.
    REFUSED = 1603 % 256

    @classmethod
    def setUpClass(cls):
        cls.prefix = tempfile.mkdtemp(prefix="dep-wine-")
        cls.env = dict(os.environ, WINEPREFIX=cls.prefix, WINEDEBUG="-all",
                       WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
        cls.wineserver = shutil.which("wineserver", path=os.path.dirname(WINE)) or "wineserver"
        # Wine's server and services, detached from the test's output, which
        # they would otherwise hold open.
        for command in ([cls.wineserver, "-p"], [WINE, "wineboot", "-i"]):
            subprocess.run(command, env=cls.env, check=True, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        cls.package = os.environ["DEP_MSI"]
        cls.next_package = os.environ["DEP_NEXT_MSI"]
        cls.rebuilt_package = os.environ["DEP_REBUILT_MSI"]
        cls.signed_package = os.environ["DEP_SIGNED_MSI"]

    @classmethod
    def tearDownClass(cls):
        subprocess.run([cls.wineserver, "-k"], env=cls.env)
        shutil.rmtree(cls.prefix, ignore_errors=True)

    def setUp(self):
        # Whatever a failed test left installed goes, for the next test.
        for package in (self.next_package, self.rebuilt_package, self.package):
            self.addCleanup(self.msiexec, "/x", package)

    @staticmethod
    def version(package):
        return re.fullmatch(r"dep-(.+)-x64\.msi", os.path.basename(package)).group(1)

    @staticmethod
    def codes(package):
        """The package's product code and package code."""
        properties = subprocess.run(["msiinfo", "export", package, "Property"],
                                    capture_output=True, check=True).stdout.decode()
        summary = subprocess.run(["msiinfo", "suminfo", package], capture_output=True, check=True).stdout.decode("cp1252")
        return (re.search(r"^ProductCode\t(\S+)", properties, re.M).group(1),
                re.search(r"^Revision number \(UUID\): (\S+)", summary, re.M).group(1))

    def unix(self, windows_path):
        return os.path.join(self.prefix, "drive_c", *windows_path[3:].split("\\"))

    def msiexec(self, action, package, *properties):
        return subprocess.run([WINE, "msiexec", action, package, *properties, "/qn"], env=self.env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              timeout=60).returncode

    def entries(self):
        """The installed applications named dep: each entry's values."""
        listing = subprocess.run(
            [WINE, "reg", "query", "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", "/s"],
            env=self.env, capture_output=True, check=True).stdout.decode("utf-8", "replace")
        entries = [dict(re.findall(r"^    (\S+)    REG_\w+ *(.*?)\r?$", key, re.M),
                        ProductCode=key.partition("\n")[0].strip().rsplit("\\", 1)[-1]) for key in listing.split("HKEY_")]
        return [entry for entry in entries if entry.get("DisplayName") == "dep"]

    def shortcuts(self):
        # Wine puts a package's Start-menu entries in the user's Start menu
        # even for the whole machine, where Windows puts them in ProgramData.
        menus = ["ProgramData", os.path.join("users", "*", "AppData", "Roaming")]
        return sorted(link for menu in menus for name in self.ENTRIES for link in glob.glob(os.path.join(
            self.prefix, "drive_c", menu, "Microsoft", "Windows", "Start Menu", "Programs", name)))

    def registry_key(self, key):
        """Whether the registry `key` exists."""
        return subprocess.run([WINE, "reg", "query", key], env=self.env, capture_output=True).returncode == 0

    def leftovers(self):
        folders = [self.unix(folder) for folder in (self.FOLDER, self.CHOSEN_FOLDER)]
        return [folder for folder in folders if os.path.exists(folder)] + self.shortcuts() + [
            f"installed application {entry.get('DisplayVersion')}" for entry in self.entries()] + [
            key for key in (self.START_MENU_KEY, self.FOLDER_KEY) if self.registry_key(key)]

    def assert_installed(self, version, folder=FOLDER):
        self.assertEqual(sorted(os.listdir(self.unix(folder))), self.FILES)
        with open(DEP, "rb") as shipped, open(self.unix(folder + "\\dep.exe"), "rb") as installed:
            self.assertEqual(installed.read(), shipped.read())
        [entry] = self.entries()
        self.assertEqual((entry["DisplayVersion"], entry["Publisher"]), (version, "dep developers"))
        self.assertTrue(self.registry_key(self.START_MENU_KEY))
        # Each shortcut's target, a local path, and its working folder, a wide string.
        shortcuts = self.shortcuts()
        self.assertEqual([os.path.basename(shortcut) for shortcut in shortcuts], sorted(self.ENTRIES))
        for shortcut in shortcuts:
            with open(shortcut, "rb") as link:
                data = link.read()
            self.assertIn(f"{folder}\\{self.ENTRIES[os.path.basename(shortcut)]}\0".encode(), data)
            self.assertIn(f"{folder}\\".encode("utf-16-le"), data)

    def test_installs_for_the_whole_machine_and_is_removed_without_a_trace(self):
        for package in (self.package, self.signed_package):
            self.assertEqual(self.leftovers(), [], package)
            self.assertEqual(self.msiexec("/i", package), 0, package)
            self.assert_installed(self.version(package))
            out, err, status = run_piped(b"H\n42\n178\n480\n", program=self.FOLDER + "\\dep.exe", env=self.env)
            self.assertEqual((out, err, status), (crlf(WORKED_EXAMPLE), b"", 0), package)
            self.assertEqual(self.msiexec("/x", package), 0, package)
            self.assertEqual(self.leftovers(), [], package)

    def test_another_build_of_the_installed_version_replaces_it(self):
        for first, second in ((self.package, self.signed_package), (self.package, self.rebuilt_package)):
            # Windows refuses a package under the installed product code with another package code.
            (product, package), (second_product, second_package) = self.codes(first), self.codes(second)
            self.assertEqual(product == second_product, package == second_package, second)
            self.assertEqual(self.leftovers(), [], second)
            self.assertEqual(self.msiexec("/i", first), 0, second)
            self.assertEqual(self.msiexec("/i", second), 0, second)
            self.assert_installed(self.version(second))
            self.assertEqual([entry["ProductCode"] for entry in self.entries()], [second_product], second)
            self.assertEqual(self.msiexec("/x", second), 0, second)
            self.assertEqual(self.leftovers(), [], second)

    def test_the_folder_chosen_at_installation_is_kept_by_later_packages(self):
        self.assertEqual(self.leftovers(), [])
        self.assertEqual(self.msiexec("/i", self.package, f"INSTALLDIR={self.CHOSEN_FOLDER}"), 0)
        self.assert_installed(self.version(self.package), self.CHOSEN_FOLDER)
        for package in (self.rebuilt_package, self.next_package):
            self.assertEqual(self.msiexec("/i", package), 0, package)
            self.assert_installed(self.version(package), self.CHOSEN_FOLDER)
            self.assertFalse(os.path.exists(self.unix(self.FOLDER)), package)
        self.assertEqual(self.msiexec("/x", self.next_package), 0)
        self.assertEqual(self.leftovers(), [])

    def test_a_newer_package_replaces_the_installed_one_and_an_older_one_is_refused(self):
        self.assertEqual(self.leftovers(), [])
        self.assertEqual(self.msiexec("/i", self.package), 0)
        self.assertEqual(self.msiexec("/i", self.next_package), 0)
        self.assert_installed(self.version(self.next_package))
        self.assertEqual(self.msiexec("/i", self.package), self.REFUSED)
        self.assert_installed(self.version(self.next_package))
        # What Windows says then (Wine shows no message when installing silently).
        refusal = subprocess.run(["msiinfo", "export", self.package, "LaunchCondition"],
                                 capture_output=True, check=True).stdout.decode()
        self.assertIn("Une version plus récente de dep est déjà installée", refusal)
        self.assertEqual(self.msiexec("/x", self.next_package), 0)
        self.assertEqual(self.leftovers(), [])


if __name__ == "__main__":
    WINE, DEP = sys.argv[1], sys.argv[2]
    del sys.argv[1:3]
    unittest.main(verbosity=2)
