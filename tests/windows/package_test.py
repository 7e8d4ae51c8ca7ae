#!/usr/bin/env python3
"""dep for Windows as a hospital's IT looks at it before deploying it: the
version resource and the icon of dep.exe, the installer's tables under
Windows Installer's validation rules (ICE38, ICE43, ICE57, ICE64, ICE80) as
lintian checks a Debian package, the installer's summary, the notices of
the third-party code dep.exe holds, the texts beside it and the release
notes, signing with a certificate, and the ZIP against the installer.

Usage: package_test.py SHIPPED_DIR MSI LINK_MAP VERSION EPOCH RC WINDRES CPACK CPACK_CONFIG
  BUILD_INSTALLER...
SHIPPED_DIR holds the files as the ZIP and the installer ship them, MSI is
the installer, LINK_MAP the linker's map of dep.exe, RC the resource script
dep.exe was built from, WINDRES the resource compiler, CPACK and
CPACK_CONFIG CPack and the build's configuration of it, BUILD_INSTALLER... the command that builds the
installer (without its version and output). DEP_SIGNED_MSI in the
environment names where the installer signed with a throwaway certificate is
written, for the tests under Wine.
"""

import codecs
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile
from pathlib import Path

SHIPPED = MSI = LINK_MAP = VERSION = EPOCH = RC = WINDRES = CPACK = CPACK_CONFIG = ""
BUILD_INSTALLER = []
SOURCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
SIGN = os.path.join(SOURCE, "cmake", "scripts", "sign.sh")
CHANGELOG = os.path.join(SOURCE, "debian", "changelog")

# The language dep for Windows speaks: French (France), as Windows numbers it.
FRENCH = 0x040C


def run(*command, **options):
    return subprocess.run(command, capture_output=True, check=True, **options).stdout


def table(name, package=None):
    """The rows of the table `name` of the installer (or of `package`), as
    dictionaries (msiinfo writes the streams of a table, such as the icons,
    into the current folder: a folder of its own)."""
    with tempfile.TemporaryDirectory() as folder:
        lines = run("msiinfo", "export", os.path.abspath(package or MSI), name, cwd=folder).decode().splitlines()
    columns = lines[0].split("\t")
    return [dict(zip(columns, line.split("\t"))) for line in lines[3:] if line]


def installed_file(name):
    """The installer's row of the file it installs as `name`."""
    [row] = [row for row in table("File") if row["FileName"].endswith(name)]
    return row


def properties(package=None):
    return {row["Property"]: row["Value"] for row in table("Property", package)}


def summary(package):
    return dict(re.findall(rb"^([A-Za-z ()]+): (.*)$", run("msiinfo", "suminfo", package), re.M))


def shipped_text(name):
    with open(os.path.join(SHIPPED, name), "rb") as shipped:
        return shipped.read()


def version_values(script):
    """The string values of a version resource's script, as windres reads
    them: octal escapes and, after L, UTF-16 units."""
    return {key: codecs.decode(value, "unicode_escape") if wide else value
            for key, wide, value in re.findall(r'VALUE "(\w+)", (L?)"((?:[^"\\]|\\.)*)"', script)}


class Resources(unittest.TestCase):
    """dep.exe's version resource and icon, as Explorer, the Start menu and
    an inventory read them: the resource script's, agreeing with the
    installer's."""

    @classmethod
    def setUpClass(cls):
        cls.exe = os.path.join(SHIPPED, "dep.exe")
        # windres writes the resources back as a script.
        cls.script = run(WINDRES, "-i", cls.exe, "-O", "rc").decode()
        cls.strings = version_values(cls.script)

    def test_the_version_strings_are_the_resource_scripts(self):
        with open(RC, encoding="utf-8") as source:
            self.assertEqual(self.strings, version_values(source.read()))
        self.assertEqual(self.strings["OriginalFilename"], os.path.basename(self.exe))
        self.assertEqual(self.strings["CompanyName"], properties()["Manufacturer"])

    def test_the_versions_are_the_installers(self):
        program = installed_file("dep.exe")
        self.assertTrue(program["Version"].startswith(properties()["ProductVersion"] + "."))
        fixed = re.findall(r"^ *(FILE|PRODUCT)VERSION (\d+), (\d+), (\d+), (\d+)$", self.script, re.M)
        self.assertEqual([".".join(numbers) for _, *numbers in fixed], [program["Version"]] * 2)
        self.assertEqual((self.strings["FileVersion"], self.strings["ProductVersion"]), (program["Version"],) * 2)

    def test_every_resource_is_in_the_language_the_installer_names(self):
        language, code_page = (int(number, 0) for number in
                               re.search(r'VALUE "Translation", (\w+), (\w+)', self.script).groups())
        self.assertEqual(language, FRENCH)
        self.assertIn(f'BLOCK "{language:04X}{code_page:04X}"', self.script)
        listing = run("wrestool", "--list", self.exe).decode()
        self.assertEqual(set(re.findall(r"--language=(\d+)", listing)), {str(language)})
        self.assertEqual(installed_file("dep.exe")["Language"], str(language))
        self.assertEqual(summary(MSI)[b"Template"], f"x64;{language}".encode())

    def test_the_summary_says_what_the_resource_says_in_the_packages_code_page(self):
        self.assertEqual(summary(MSI)[b"Subject"], self.strings["FileDescription"].encode("cp1252"))
        self.assertEqual(summary(MSI)[b"Author"], self.strings["CompanyName"].encode("cp1252"))

    def test_the_first_icon_is_the_apps_at_every_size_windows_shows(self):
        groups = re.findall(r"--type=14 --name=(\d+)", run("wrestool", "--list", self.exe).decode())
        self.assertEqual(groups, ["1"])
        with tempfile.NamedTemporaryFile(suffix=".ico") as icon:
            icon.write(run("wrestool", "-x", "--type=14", "--name=1", self.exe))
            icon.flush()
            sizes = [(int(w), int(h)) for w, h in re.findall(r"--width=(\d+) --height=(\d+)",
                                                             run("icotool", "--list", icon.name).decode())]
        self.assertEqual(sizes, [(size, size) for size in (16, 20, 24, 32, 40, 48, 64, 256)])


# The folders of a user's profile, and the 32-bit and 64-bit system folders,
# as Windows Installer's validation names them.
PROFILE_FOLDERS = {"AppDataFolder", "DesktopFolder", "FavoritesFolder", "LocalAppDataFolder",
                   "MyPicturesFolder", "NetHoodFolder", "PersonalFolder", "PrintHoodFolder",
                   "ProgramMenuFolder", "RecentFolder", "SendToFolder", "StartMenuFolder",
                   "StartupFolder", "TemplateFolder"}
FOLDERS_32 = {"ProgramFilesFolder", "CommonFilesFolder", "SystemFolder"}
FOLDERS_64 = {"ProgramFiles64Folder", "CommonFiles64Folder", "System64Folder"}
COMPONENT_64BIT = 256
COMPONENT_REGISTRY_KEY_PATH = 4
HKCU = "1"


class InstallerRules(unittest.TestCase):
    """The installer's tables under the validation rules that Orca and
    packaging tools run, and the summary Explorer shows."""

    @classmethod
    def setUpClass(cls):
        cls.directories = {row["Directory"]: row["Directory_Parent"] for row in table("Directory")}
        cls.components = {row["Component"]: row for row in table("Component")}
        cls.registry = {row["Registry"]: row for row in table("Registry")}

    def ancestors(self, directory):
        """`directory` and the folders that hold it, from the inside out."""
        chain = []
        while directory:
            chain.append(directory)
            directory = self.directories.get(directory)
        return chain

    def in_profile(self, directory):
        return bool(PROFILE_FOLDERS & set(self.ancestors(directory)))

    def hkcu_key_path(self, component):
        row = self.components[component]
        return (int(row["Attributes"]) & COMPONENT_REGISTRY_KEY_PATH != 0 and
                self.registry[row["KeyPath"]]["Root"] == HKCU)

    def test_64_bit_components_in_64_bit_folders_only(self):  # ICE80
        for name, row in self.components.items():
            folders = set(self.ancestors(row["Directory_"]))
            is_64 = int(row["Attributes"]) & COMPONENT_64BIT != 0
            self.assertFalse(folders & FOLDERS_64 and not is_64, f"{name}: 32-bit in a 64-bit folder")
            self.assertFalse(folders & FOLDERS_32 and is_64, f"{name}: 64-bit in a 32-bit folder")
        self.assertTrue(any(FOLDERS_64 & set(self.ancestors(row["Directory_"])) for row in self.components.values()))

    def test_what_a_profile_holds_is_kept_by_the_users_registry(self):  # ICE38, ICE43, ICE57
        shortcuts = table("Shortcut")
        self.assertEqual([row["Name"] for row in shortcuts], ["dep - débit expiratoire de pointe", "dep - mode d’emploi"])
        for shortcut in shortcuts:
            self.assertTrue(shortcut["Target"].startswith("["), "an advertised shortcut")
            self.assertTrue(self.hkcu_key_path(shortcut["Component_"]), shortcut["Shortcut"])
        files = {row["Component_"] for row in table("File")}
        for name, row in self.components.items():
            per_user = self.in_profile(row["Directory_"]) or any(
                value["Component_"] == name and value["Root"] == HKCU for value in self.registry.values())
            if self.in_profile(row["Directory_"]):
                self.assertTrue(self.hkcu_key_path(name), f"{name}: in a profile without the user's key")
            if per_user:
                self.assertNotIn(name, files, f"{name}: per-user and per-machine data together")
                self.assertTrue(self.hkcu_key_path(name), f"{name}: per-user data, per-machine key path")

    def test_every_folder_it_makes_in_a_profile_is_removed(self):  # ICE64
        removed = {row["Directory_"] for row in table("RemoveFile") if not row.get("FileName")}
        for directory in self.directories:
            if directory not in PROFILE_FOLDERS and self.in_profile(directory):
                self.assertIn(directory, removed, directory)

    def test_dep_exe_is_versioned_and_the_installer_shows_its_icon(self):
        self.assertEqual(installed_file("dep.exe")["Version"], f"{VERSION}.0")
        self.assertNotIn("dep.exe", [row["File_"] for row in table("MsiFileHash")])
        self.assertIn(properties()["ARPPRODUCTICON"], [row["Name"] for row in table("Icon")])

    def test_the_package_code_changes_with_the_source_and_only_with_it(self):
        folder = tempfile.mkdtemp(prefix="dep-msi-")
        self.addCleanup(shutil.rmtree, folder)
        [source] = [argument[len("-DWXS="):] for argument in BUILD_INSTALLER if argument.startswith("-DWXS=")]
        changed = os.path.join(folder, "dep.wxs")
        with open(source, encoding="utf-8") as original, open(changed, "w", encoding="utf-8") as copy:
            copy.write(original.read().replace('Title="dep" Level="1"', 'Title="dep" Level="2"'))
        codes = []
        for name, wxs in (("again", source), ("changed", changed)):
            package = os.path.join(folder, f"{name}.msi")
            build = [f"-DWXS={wxs}" if argument.startswith("-DWXS=") else argument for argument in BUILD_INSTALLER]
            run(*build, f"-DVERSION={VERSION}", f"-DOUTPUT={package}", "-P",
                os.path.join(os.path.dirname(SIGN), "build_installer.cmake"))
            codes.append(summary(package)[b"Revision number (UUID)"])
        shipped = summary(MSI)[b"Revision number (UUID)"]
        self.assertEqual(codes[0], shipped)
        self.assertNotEqual(codes[1], shipped)


# What the link may take, the notice each needs, and a line of that notice.
RUNTIME_PARTS = [
    ("mingw-w64", r"/lib(mingw32|mingwex|msvcrt|moldname)\.a\(", "the mingw-w64 project"),
    ("gdtoa", r"/libmingwex\.a\([^)]*-(dmisc|dtoa|g_[a-z]*fmt|gdtoa|gethex|gmisc|hexnan|misc|"
     r"smisc|strtod[a-z]*|strtof|strtopx|sum|ulp|mingw_pformat)\.o\)", "Lucent Technologies"),
    ("gdtoa by David M. Gay", r"/libmingwex\.a\([^)]*-(qnan|strtodnrp)\.o\)", "2004, 2005 David M. Gay"),
    ("winpthreads", r"/lib(win)?pthread\.a\(", "Lockless Inc."),
]


class Notices(unittest.TestCase):
    """The notices of the third-party code dep.exe holds, as the link took
    it, in the read-me's form, shipped in the ZIP and by the installer."""

    def test_the_notices_name_what_the_link_took_and_nothing_else(self):
        with open(LINK_MAP) as link_map:
            taken = link_map.read().split("Archive member included to satisfy reference")[1].split(
                "\nDiscarded input sections")[0]
        notices = shipped_text("LICENCES-TIERCES.txt").decode("utf-8")
        for part, member, line in RUNTIME_PARTS:
            self.assertEqual(line in notices, re.search(member, taken) is not None, part)
        self.assertRegex(taken, RUNTIME_PARTS[0][1])

    def test_the_installer_installs_them_beside_the_program(self):
        folders = {row["Component"]: row["Directory_"] for row in table("Component")}
        self.assertEqual(folders[installed_file("LICENCES-TIERCES.txt")["Component_"]], folders["Program"])


class Texts(unittest.TestCase):
    """The texts beside dep.exe as Notepad needs them, and the release notes
    as the Debian changelog gives them."""

    def test_each_text_is_utf8_with_a_byte_order_mark_every_line_ended_by_cr_lf(self):
        for name, accented in (("LISEZMOI.txt", "référence"), ("CHANGEMENTS.txt", "Nouveautés"),
                               ("LICENCES-TIERCES.txt", "composants tiers de dep.exe")):
            data = shipped_text(name)
            self.assertTrue(data.startswith(codecs.BOM_UTF8), name)
            self.assertTrue(data.endswith(b"\r\n"), name)
            self.assertEqual(data.count(b"\n"), data.count(b"\r\n"), name)
            self.assertIn(accented, data.decode("utf-8"), name)

    def test_the_release_notes_hold_each_version_and_change_in_the_changelogs_order(self):
        notes = shipped_text("CHANGEMENTS.txt").decode("utf-8")
        with open(CHANGELOG, encoding="utf-8") as changelog:
            for line in changelog:
                if version := re.match(r"[a-z0-9][a-z0-9.+-]* \(([^)]+)\) ", line):
                    expected = f"\nVersion {version[1]} du "
                elif line.startswith("  * "):
                    expected = line[2:].rstrip("\n")
                else:
                    continue
                at = notes.find(expected)
                self.assertNotEqual(at, -1, f"missing, or out of the changelog's order: {expected}")
                notes = notes[at:]


class Signing(unittest.TestCase):
    """dep.exe and its installer signed by cmake/scripts/sign.sh with a
    certificate of a throwaway certificate authority."""

    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="dep-signing-")
        cls.authority = cls.certificate_authority("Autorité de test de dep")
        cls.other_authority = cls.certificate_authority("Une autre autorité")
        key, request = cls.path("signer.key"), cls.path("signer.csr")
        run("openssl", "req", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", request,
            "-subj", "/CN=dep developers/O=dep developers", "-utf8")
        extensions = cls.path("signer.cnf")
        with open(extensions, "w") as file:
            file.write("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n"
                       "extendedKeyUsage=codeSigning\n")
        run("openssl", "x509", "-req", "-in", request, "-CA", cls.authority, "-CAkey", cls.authority + ".key",
            "-CAcreateserial", "-out", cls.path("signer.pem"), "-days", "30", "-extfile", extensions)
        cls.pkcs12 = cls.path("signer.p12")
        run("openssl", "pkcs12", "-export", "-out", cls.pkcs12, "-inkey", key, "-in", cls.path("signer.pem"),
            "-passout", "pass:mot de passe")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)

    @classmethod
    def path(cls, name):
        return os.path.join(cls.folder, name)

    @classmethod
    def certificate_authority(cls, name):
        certificate = cls.path(f"{len(os.listdir(cls.folder))}.pem")
        run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", certificate + ".key",
            "-out", certificate, "-days", "30", "-subj", f"/CN={name}", "-utf8",
            "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign")
        return certificate

    def sign(self, unsigned, signed, password="mot de passe"):
        password_file = self.path("password")
        with open(password_file, "w") as file:
            file.write(password + "\n")
        return subprocess.run(["sh", SIGN, "osslsigncode", self.pkcs12, password_file, EPOCH, unsigned, signed],
                              capture_output=True)

    def verified(self, signed, authority):
        return subprocess.run(["osslsigncode", "verify", "-CAfile", authority, "-in", signed],
                              capture_output=True)

    def test_a_signature_holds_with_its_authority_only_and_gives_the_same_bytes_twice(self):
        for unsigned in (os.path.join(SHIPPED, "dep.exe"), MSI):
            signed = [self.path(f"{n}-{os.path.basename(unsigned)}") for n in (1, 2)]
            for output in signed:
                self.assertEqual(self.sign(unsigned, output).returncode, 0, unsigned)
            with open(signed[0], "rb") as first, open(signed[1], "rb") as second:
                self.assertEqual(first.read(), second.read(), unsigned)
            verified = self.verified(signed[0], self.authority)
            self.assertEqual(verified.returncode, 0, verified.stdout.decode(errors="replace"))
            # The release's time, as OpenSSL prints a time.
            signing_time = time.strftime("%b %e %H:%M:%S %Y GMT", time.gmtime(int(EPOCH)))
            self.assertIn(f"Signing time: {signing_time}".encode(), verified.stdout)
            self.assertNotEqual(self.verified(signed[0], self.other_authority).returncode, 0, unsigned)
            self.assertNotEqual(self.verified(unsigned, self.authority).returncode, 0, unsigned)
        os.makedirs(os.path.dirname(os.environ["DEP_SIGNED_MSI"]), exist_ok=True)
        shutil.copyfile(self.path(f"1-{os.path.basename(MSI)}"), os.environ["DEP_SIGNED_MSI"])

    def test_a_wrong_or_missing_password_signs_nothing(self):
        unsigned = os.path.join(SHIPPED, "dep.exe")
        self.assertNotEqual(self.sign(unsigned, self.path("wrong.exe"), password="faux").returncode, 0)
        self.assertFalse(os.path.exists(self.path("wrong.exe")))
        missing = subprocess.run(["sh", SIGN, "osslsigncode", self.pkcs12, self.path("no-password"), EPOCH, unsigned,
                                  self.path("none.exe")], capture_output=True)
        self.assertEqual(missing.returncode, 1)
        self.assertIn(b"cannot read the password file", missing.stderr)
        self.assertFalse(os.path.exists(self.path("none.exe")))


class Zip(unittest.TestCase):
    """The ZIP, packed by CPack as the windows workflow packs it, holds what
    the installer installs."""

    def test_the_zip_holds_the_installers_files(self):
        folder = tempfile.mkdtemp(prefix="dep-zip-")
        self.addCleanup(shutil.rmtree, folder)
        run(CPACK, "--config", CPACK_CONFIG, "-B", os.path.join(folder, "packed"))
        [archive] = glob.glob(os.path.join(folder, "packed", "*.zip"))
        with zipfile.ZipFile(archive) as packed:
            zipped = {name: packed.read(name) for name in packed.namelist()}
        run("msiextract", "-C", os.path.join(folder, "installed"), MSI)
        installed = {path.name: path.read_bytes() for path in Path(folder, "installed").rglob("*") if path.is_file()}
        self.assertEqual(zipped.keys(), installed.keys())
        for name, data in zipped.items():
            self.assertEqual(data, installed[name], name)


if __name__ == "__main__":
    SHIPPED, MSI, LINK_MAP, VERSION, EPOCH, RC, WINDRES, CPACK, CPACK_CONFIG, *BUILD_INSTALLER = sys.argv[1:]
    del sys.argv[1:]
    unittest.main(verbosity=2)
