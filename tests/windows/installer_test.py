#!/usr/bin/env python3
"""dep.exe installed by its Windows Installer package, as a hospital's IT
deploys it, under Wine.

Usage: installer_test.py WINE DEP_EXE
DEP_EXE is dep.exe as it ships. The packages come from the environment:
DEP_MSI, DEP_NEXT_MSI, the same built at a higher version, DEP_REBUILT_MSI,
another build of its version, and DEP_SIGNED_MSI, the package signed.
"""

import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import dep_test  # noqa: E402
import package_test  # noqa: E402

WINE = ""
DEP = ""


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
        self.assertEqual(self.leftovers(), [])

    @staticmethod
    def version(package):
        return re.fullmatch(r"dep-(.+)-x64\.msi", os.path.basename(package)).group(1)

    @staticmethod
    def codes(package):
        """The package's product code and package code."""
        return package_test.properties(package)["ProductCode"], package_test.summary(package)[b"Revision number (UUID)"]

    def unix(self, windows_path):
        return os.path.join(self.prefix, "drive_c", *windows_path[3:].split("\\"))

    def msiexec(self, action, package, *properties):
        return subprocess.run([WINE, "msiexec", action, package, *properties, "/qn"], env=self.env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              timeout=60).returncode

    def entries(self):
        """The installed applications named dep: each entry's values."""
        listing = package_test.run(WINE, "reg", "query", "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                                   "/s", env=self.env).decode("utf-8", "replace")
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
        # Once, on a loaded machine, the user's value was not there yet when
        # msiexec had returned: it is awaited, within the harness's patience.
        self.assertTrue(dep_test.within_patience(lambda: self.registry_key(self.START_MENU_KEY),
                                                 lambda: time.sleep(0.1)))
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
            self.assertEqual(self.msiexec("/i", package), 0, package)
            self.assert_installed(self.version(package))
            status, out, err = dep_test.run_piped(b"H\n42\n178\n480\n", program=self.FOLDER + "\\dep.exe",
                                                  env=self.env)
            self.assertEqual((out, err, status), (dep_test.shown(dep_test.readme("piped-output")), b"", 0), package)
            self.assertEqual(self.msiexec("/x", package), 0, package)
            self.assertEqual(self.leftovers(), [], package)

    def test_another_build_of_the_installed_version_replaces_it(self):
        for first, second in ((self.package, self.signed_package), (self.package, self.rebuilt_package)):
            # Windows refuses a package under the installed product code with another package code.
            (product, package), (second_product, second_package) = self.codes(first), self.codes(second)
            self.assertEqual(product == second_product, package == second_package, second)
            self.assertEqual(self.msiexec("/i", first), 0, second)
            self.assertEqual(self.msiexec("/i", second), 0, second)
            self.assert_installed(self.version(second))
            self.assertEqual([entry["ProductCode"] for entry in self.entries()], [second_product], second)
            self.assertEqual(self.msiexec("/x", second), 0, second)
            self.assertEqual(self.leftovers(), [], second)

    def test_the_folder_chosen_at_installation_is_kept_by_later_packages(self):
        self.assertEqual(self.msiexec("/i", self.package, f"INSTALLDIR={self.CHOSEN_FOLDER}"), 0)
        self.assert_installed(self.version(self.package), self.CHOSEN_FOLDER)
        for package in (self.rebuilt_package, self.next_package):
            self.assertEqual(self.msiexec("/i", package), 0, package)
            self.assert_installed(self.version(package), self.CHOSEN_FOLDER)
            self.assertFalse(os.path.exists(self.unix(self.FOLDER)), package)
        self.assertEqual(self.msiexec("/x", self.next_package), 0)
        self.assertEqual(self.leftovers(), [])

    def test_a_newer_package_replaces_the_installed_one_and_an_older_one_is_refused(self):
        self.assertEqual(self.msiexec("/i", self.package), 0)
        self.assertEqual(self.msiexec("/i", self.next_package), 0)
        self.assert_installed(self.version(self.next_package))
        self.assertEqual(self.msiexec("/i", self.package), self.REFUSED)
        self.assert_installed(self.version(self.next_package))
        # What Windows says then (Wine shows no message when installing silently).
        refusals = [row["Description"] for row in package_test.table("LaunchCondition", self.package)]
        self.assertIn("Une version plus récente de dep est déjà installée", " ".join(refusals))
        self.assertEqual(self.msiexec("/x", self.next_package), 0)
        self.assertEqual(self.leftovers(), [])


if __name__ == "__main__":
    WINE, DEP = sys.argv[1], sys.argv[2]
    dep_test.WINE = WINE  # dep_test runs the installed dep.exe
    del sys.argv[1:3]
    unittest.main(verbosity=2)
