#!/usr/bin/env python3
"""The packaged page in a real browser, driven by Selenium: headless Chromium,
or WebKit (Safari's engine) in its MiniBrowser, under Xvfb.

Usage: page_test.py chromium|webkit PAGE OUTPUT_DIR
"""

import functools
import json
import os
import subprocess
import sys
import unittest

from selenium.common.exceptions import TimeoutException, WebDriverException
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

import browsers

BROWSER = ""
PAGE_URL = ""
OUTPUT_DIR = ""
DRIVER = None

# How long anything the page is expected to do may take before a test gives up.
PATIENCE = 10

Q = "Le patient est il un (H)omme , une (F)emme ou un (E)nfant ? "
MEASURE = "\nEntrez le resultat du test DEP effectue sur le patient (0 pour quitter) "
ADULT_HEIGHT = "\n\nQuel est la taille l individu ? (en cm) "
CHILD_HEIGHT = "\nQuel est la taille de l enfant ? (de 6 a 15 ans , en cm) "

# The README's worked example as a terminal in line mode shows it.
WORKED_EXAMPLE = (
    Q + "H\n"
    "\nQuel est l age de l individu ? 42\n"
    "l age le plus proche est 45 ans" + ADULT_HEIGHT + "178\n"
    "la taille la plus proche est 175"
    "\nLa valeur theorique de la DEP est 631 L/Min" + MEASURE + "480\n"
    "\nLa valeur mesuree correspond a 76.1 % de la valeur theorique")

# Lines typed one by one, the keys pressed after the report (None: no key
# wait), and the transcript of the whole run.
CONSULTATIONS = (
    ("worked example, Shift alone then a printable key",
     ["H", "42", "178", "480"], Keys.SHIFT + "k", WORKED_EXAMPLE + "K"),
    ("wrong letter, then two answers on one line, an arrow as the key",
     ["x", "H 42", "178", "480"], Keys.ARROW_UP,
     Q + "x\n\n" + Q + "\n" + Q + "H 42\n"
     "\nQuel est l age de l individu ? l age le plus proche est 45 ans" + ADULT_HEIGHT
     + WORKED_EXAMPLE[WORKED_EXAMPLE.index("178\n"):]),
    ("a child, an accented letter as the key",
     ["E", "137", "300"], "\u00e9",
     Q + "E\n" + CHILD_HEIGHT + "137\n\n \n La valeur theorique de la DEP est 283" + MEASURE
     + "300\n\nLa valeur mesuree correspond a 106.0 % de la valeur theorique\u00e9"),
    ("0 quits",
     ["F", "17", "150", "0"], None,
     Q + "F\n\nQuel est l age de l individu ? 17\nl age le plus proche est 20 ans" + ADULT_HEIGHT
     + "150\nla taille la plus proche est 152\nLa valeur theorique de la DEP est 450 L/Min"
     + MEASURE + "0\n"),
    ("typed HTML stays text; the unreadable height and measurement keep 0",
     ["<i>E</i>"], None,
     Q + "<i>E</i>\n" + ("\n" + Q) * 3 + CHILD_HEIGHT + "La taille la plus proche est 100 cm"
     "\n \n La valeur theorique de la DEP est 124" + MEASURE),
)

# What the page is waiting for, read from what a user sees: an answer (the
# field enabled and focused), the key after the report, or the start of a new
# consultation; "busy" otherwise.
STATE = """
const byId = (id) => document.getElementById(id);
const field = byId("answer");
const active = document.activeElement ? document.activeElement.id : "";
const transcript = byId("transcript");
let state = "busy";
if (!field.disabled && active === "answer") state = "answer";
else if (field.disabled && !byId("key-wait").hidden && active === "key") state = "key";
else if (field.disabled && !byId("restart").hidden && active === "restart") state = "ended";
return {state, transcript: transcript.textContent, elements: transcript.children.length,
        label: field.labels[0].textContent};
"""


def survives_a_browser_crash(test):
    """Runs `test` once more, in a new browser, when the browser itself failed
    under it: WebKit's web process crashes now and then under WebDriver. A
    failed assertion, a wait that timed out included, is never run again."""
    @functools.wraps(test)
    def run(self):
        global DRIVER
        try:
            test(self)
        except WebDriverException as error:
            print(f"\nthe browser failed ({error.msg}); once more in a new browser",
                  file=sys.stderr)
            try:
                DRIVER.quit()
            except WebDriverException:
                pass
            DRIVER = browsers.start(BROWSER)
            test(self)
    return run


class Page:
    """The page in the browser, seen as its user sees it."""

    def __init__(self, driver):
        self.driver = driver
        self.look = lambda: driver.execute_script(STATE)

    def wait_for(self, what, condition):
        """The page's look once `condition(look)` holds, within PATIENCE."""
        seen = [None]

        def holds(_):
            seen[0] = self.look()
            return condition(seen[0])
        try:
            WebDriverWait(self.driver, PATIENCE, poll_frequency=0.02).until(holds)
        except TimeoutException as error:
            raise AssertionError(f"waited {PATIENCE} s for {what}; the page: {seen[0]}") from error
        return seen[0]

    def wait_for_state(self, state):
        return self.wait_for(f"the page to await {state}", lambda look: look["state"] == state)

    def type(self, keys):
        # ChromeDriver types only what a US keyboard has: a French keyboard's
        # letters are sent as Chromium gets them from it. (WebDriver's own
        # keys, Keys.ENTER and the like, lie from U+E000 on.)
        if BROWSER == "chromium" and all(127 < ord(key) < 0xE000 for key in keys):
            for key in keys:
                for kind in ("keyDown", "keyUp"):
                    self.driver.execute_cdp_cmd("Input.dispatchKeyEvent",
                                                {"type": kind, "key": key, "text": key})
            return
        self.driver.switch_to.active_element.send_keys(keys)

    def answer(self, line):
        """Types `line` and Enter once an answer is awaited, then waits until
        the page shows the line, which it does as the program reads it."""
        before = self.wait_for_state("answer")
        self.type(line + Keys.ENTER)
        echoed = before["transcript"] + line + "\n"
        self.wait_for(f"{line!r} on the screen",
                      lambda look: look["transcript"].startswith(echoed))
        return before

    def consult(self, lines, keys):
        """One consultation on a page showing the first question; the look of
        the page once it has ended."""
        for line in lines:
            before = self.answer(line)
            question = before["transcript"].rsplit("\n", 1)[-1].strip()
            assert question in before["label"], (question, before["label"])
        if keys is not None:
            self.wait_for_state("key")  # the Enter of the measured value is not the key
            self.type(keys)
        return self.wait_for_state("ended")

    def start_again(self):
        self.type(Keys.ENTER)  # on "Nouvelle consultation"
        self.wait_for("a new consultation", lambda look: look["state"] == "answer" and
                      look["transcript"] == Q)


def readme_block(marker):
    """The fenced block that follows `<!-- marker -->` in the README, as the
    project's document checks read it."""
    script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "checks",
                          "documents.cmake")
    return subprocess.run([os.environ.get("CMAKE", "cmake"), f"-DMARKER={marker}", "-P", script],
                          check=True, capture_output=True, text=True).stdout


class ReadmeConsultation(unittest.TestCase):
    @survives_a_browser_crash
    def test_the_page_shows_the_readme_consultation_for_its_piped_answers(self):
        answers = readme_block("piped-example").split("'")[1].split("\\n")[:-1]
        DRIVER.get(PAGE_URL)
        look = Page(DRIVER).consult(answers, Keys.ENTER)
        self.assertEqual(look["transcript"], readme_block("consultation"))


class TypedConsultations(unittest.TestCase):
    @survives_a_browser_crash
    def test_each_consultation_gives_its_transcript_and_a_new_one_starts_clean(self):
        DRIVER.get(PAGE_URL)
        page = Page(DRIVER)
        self.assertEqual(page.wait_for_state("answer")["transcript"], Q)
        for name, lines, keys, transcript in CONSULTATIONS:
            look = page.consult(lines, keys)
            self.assertEqual(look["transcript"], transcript, name)
            self.assertEqual(look["elements"], 0, name)
            self.assertEqual(DRIVER.execute_script(
                "return document.activeElement.textContent"), "Nouvelle consultation", name)
            page.start_again()


class InChromium(unittest.TestCase):
    def setUp(self):
        if BROWSER != "chromium":
            self.skipTest("Chromium's own logs and emulation")

    @survives_a_browser_crash
    def test_no_request_leaves_the_page_nothing_is_refused_or_stored(self):
        DRIVER.get_log("performance")  # drops what earlier tests logged
        DRIVER.get(PAGE_URL)
        Page(DRIVER).consult(["H", "42", "178", "480"], "k")
        stored = DRIVER.execute_async_script("""
            const done = arguments[0];
            indexedDB.databases().then((databases) => done([document.cookie, localStorage.length,
                                                            sessionStorage.length, databases.length]));
        """)
        self.assertEqual(stored, ["", 0, 0, 0])
        requested = [json.loads(entry["message"])["message"]["params"]["request"]["url"]
                     for entry in DRIVER.get_log("performance")
                     if '"Network.requestWillBeSent"' in entry["message"]]
        # The page itself, and the module it inlines as a data URL.
        self.assertEqual(requested[0], PAGE_URL)
        for url in requested[1:]:
            self.assertTrue(url.startswith("data:"), url[:80])
        self.assertEqual([entry for entry in DRIVER.get_log("browser")
                          if entry["level"] in ("SEVERE", "WARNING")], [])

    @survives_a_browser_crash
    def test_a_phone_screen_shows_everything_without_sideways_scrolling(self):
        DRIVER.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": 360, "height": 640, "deviceScaleFactor": 1, "mobile": True})
        self.addCleanup(DRIVER.execute_cdp_cmd, "Emulation.clearDeviceMetricsOverride", {})
        DRIVER.get(PAGE_URL)
        page = Page(DRIVER)
        in_view = """
            const box = document.getElementById(arguments[0]).getBoundingClientRect();
            const root = document.documentElement;
            return {wide: root.scrollWidth <= innerWidth, seen: box.top >= 0 && box.left >= 0 &&
                    box.bottom <= innerHeight && box.right <= innerWidth};
        """
        for line in ["x", "H 42", "178", "480"]:
            page.wait_for_state("answer")
            self.assertEqual(DRIVER.execute_script(in_view, "answer"),
                             {"wide": True, "seen": True}, line)
            page.answer(line)
        page.wait_for_state("key")
        self.assertEqual(DRIVER.execute_script(in_view, "key"), {"wide": True, "seen": True})
        DRIVER.save_screenshot(os.path.join(OUTPUT_DIR, "page-360x640.png"))


def setUpModule():
    global DRIVER
    DRIVER = browsers.start(BROWSER)


def tearDownModule():
    DRIVER.quit()


if __name__ == "__main__":
    BROWSER, page_file, OUTPUT_DIR = sys.argv[1:4]
    PAGE_URL = "file://" + os.path.abspath(page_file)
    del sys.argv[1:4]
    unittest.main(verbosity=2)
