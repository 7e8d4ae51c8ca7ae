#!/usr/bin/env python3
"""The web page's weight and speed in headless Chromium.

Usage: page_bench.py PAGE [LOADS]

Prints the page's size, raw and gzipped; the time from navigation to the first
question on screen, as the median of LOADS loads (20 by default) of the page
and of a plain page that writes the same question from an inline script (the
floor), loaded in turn; and the time from the Enter of each answer of the
worked example to the next text on screen.
"""

import gzip
import os
import statistics
import sys
import tempfile

from selenium.webdriver.support.ui import WebDriverWait

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "web"))
import browsers  # noqa: E402  (the page's tests start their browsers the same way)

QUESTION = "Le patient est il un (H)omme , une (F)emme ou un (E)nfant ? "

FLOOR_PAGE = f"""<!DOCTYPE html>
<html lang="fr"><head><meta charset="utf-8"><title>floor</title></head>
<body><div id="transcript"></div>
<script>document.getElementById("transcript").append({QUESTION!r});</script>
</body></html>
"""

# Installed before any script of the page runs. Animation frames are counted
# from navigation on; a text is on screen at the first frame after it entered
# the page. Times are from navigation.
PROBE = """
window.probe = {question: null, enters: [], replies: []};
let frame = 0;
const tick = () => { frame += 1; requestAnimationFrame(tick); };
requestAnimationFrame(tick);
const onScreen = (record) => requestAnimationFrame((time) => record(performance.now()));
new MutationObserver(() => {
  const now = performance.now();
  const text = document.body ? document.body.textContent : "";
  if (probe.question === null && text.includes(%r)) {
    probe.question = 0;
    onScreen((time) => { probe.question = time; });
  }
  if (probe.enters.length > probe.replies.length) {
    const enter = probe.enters[probe.replies.length];
    const reply = {inPage: now - enter.time, frames: null};
    probe.replies.push(reply);
    onScreen(() => { reply.frames = frame - enter.frame; });
  }
}).observe(document, {childList: true, subtree: true, characterData: true});
addEventListener("keydown", (event) => {
  if (event.key === "Enter") probe.enters.push({time: event.timeStamp, frame});
}, true);
""" % QUESTION


def start_chromium():
    driver = browsers.start("chromium")
    driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": PROBE})
    return driver


def probe(driver, condition):
    """The probe's record once `condition` holds of it, within 10 s."""
    def record(_):
        seen = driver.execute_script("return window.probe")
        return seen if condition(seen) else None
    return WebDriverWait(driver, 10, poll_frequency=0.01).until(record)


def first_question(driver, url):
    driver.get(url)
    return probe(driver, lambda p: p["question"])["question"]


def replies(driver, url):
    """For each Enter of the worked example: the milliseconds until the next
    text is in the page, and the animation frame that shows it (1: the first
    frame after the Enter)."""
    driver.get(url)
    probe(driver, lambda p: p["question"])
    for answer in ("H", "42", "178", "480"):
        WebDriverWait(driver, 10, poll_frequency=0.01).until(lambda d: d.execute_script(
            "return document.activeElement.id === 'answer'"))
        driver.switch_to.active_element.send_keys(answer + "\n")
        done = probe(driver, lambda p: p["replies"] and p["replies"][-1]["frames"] is not None
                     and len(p["replies"]) == len(p["enters"]))
    return done["replies"]


def main():
    page = os.path.abspath(sys.argv[1])
    loads = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    with open(page, "rb") as file:
        data = file.read()
    print(f"page: {len(data)} bytes ({len(data) / 1024:.1f} KiB), gzipped "
          f"{len(gzip.compress(data, 9))} bytes ({len(gzip.compress(data, 9)) / 1024:.1f} KiB)")

    with tempfile.TemporaryDirectory() as folder:
        floor = os.path.join(folder, "floor.html")
        with open(floor, "w", encoding="utf-8") as file:
            file.write(FLOOR_PAGE)
        driver = start_chromium()
        try:
            for url in ("file://" + page, "file://" + floor):  # warm-up
                first_question(driver, url)
            times = {"dep": [], "floor": []}
            for _ in range(loads):
                times["dep"].append(first_question(driver, "file://" + page))
                times["floor"].append(first_question(driver, "file://" + floor))
            dep, base = statistics.median(times["dep"]), statistics.median(times["floor"])
            print(f"first question on screen, median of {loads} loads: page {dep:.1f} ms, "
                  f"floor {base:.1f} ms, ratio {dep / base:.2f}")
            waits = []
            for _ in range(max(loads // 4, 1)):
                waits += replies(driver, "file://" + page)
            in_page = [wait["inPage"] for wait in waits]
            frames = [wait["frames"] for wait in waits]
            print(f"Enter to the next text, {len(waits)} answers: in the page after a median of "
                  f"{statistics.median(in_page):.1f} ms (longest {max(in_page):.1f} ms); on "
                  f"screen in the first frame after the Enter {frames.count(1)} times, in the "
                  f"second {frames.count(2)} times, later {sum(f > 2 for f in frames)} times")
        finally:
            driver.quit()


if __name__ == "__main__":
    main()
