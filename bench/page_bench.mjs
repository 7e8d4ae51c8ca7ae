// The web page's weight and speed in headless Chromium.
//
// Usage: node bench/page_bench.mjs PAGE APP_FOLDER [LOADS]
//
// Prints the size of the page (the single file PAGE) and of the app's
// index.html, raw and gzipped, and the app's; the time from
// navigation to the first question, as the median of LOADS loads (15 by
// default, after a warm-up) of the page and of a plain page that writes the
// same question from an inline script (the floor), loaded in turn: once the
// page opened from the disk against the floor from the disk, once the app
// served and answering from its cache against the floor served by the same
// server. Each gives two figures: when the question enters the page, and when
// it reaches the screen, at the next frame. Last, the time from the Enter of
// each answer of the worked example to the next text on screen.
import { cpSync, mkdtempSync, readdirSync, readFileSync, rmSync, statSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { createServer } from "node:http";
import { gzipSync } from "node:zlib";
import { start, until } from "../tests/web/browsers.mjs";
import { AppServer } from "../tests/web/servers.mjs";

const [single, app, loadsArgument] = process.argv.slice(2);
const LOADS = Number(loadsArgument ?? 15);
const QUESTION = "Le patient est il un (H)omme , une (F)emme ou un (E)nfant ? ";

const FLOOR = `<!DOCTYPE html>
<html lang="fr"><head><meta charset="utf-8"><title>floor</title></head>
<body><div id="transcript"></div>
<script>document.getElementById("transcript").append(${JSON.stringify(QUESTION)});</script>
</body></html>
`;

// Installed before any script of the page runs. Animation frames are counted
// from navigation on; a text is on screen at the first frame after it entered
// the page. Times are from navigation. Only the transcript is read, which the
// page and the floor both have: reading the whole page at each change would
// cost the page more than the floor.
const PROBE = `
window.probe = { enters: null, onScreen: null, keys: [], replies: [] };
let frame = 0;
const tick = () => { frame += 1; requestAnimationFrame(tick); };
requestAnimationFrame(tick);
new MutationObserver(() => {
  const now = performance.now();
  const transcript = document.getElementById("transcript");
  if (probe.enters === null && transcript?.textContent === ${JSON.stringify(QUESTION)}) {
    probe.enters = now;
    requestAnimationFrame(() => { probe.onScreen = performance.now(); });
  }
  if (probe.keys.length > probe.replies.length) {
    const key = probe.keys[probe.replies.length];
    const reply = { inPage: now - key.time, frames: null };
    probe.replies.push(reply);
    requestAnimationFrame(() => { reply.frames = frame - key.frame; });
  }
}).observe(document, { childList: true, subtree: true, characterData: true });
addEventListener("keydown", (event) => {
  if (event.key === "Enter") probe.keys.push({ time: event.timeStamp, frame });
}, true);
`;

const median = (values) => {
  const sorted = [...values].sort((a, b) => a - b);
  const middle = Math.floor(sorted.length / 2);
  return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
};
const kib = (bytes) => `${bytes} bytes (${(bytes / 1024).toFixed(1)} KiB)`;

async function firstQuestion(browser, url) {
  await browser.open(url);
  return until(() => browser.run(() => window.probe.onScreen !== null && window.probe),
    `the first question on ${url}`);
}

/** Medians of LOADS loads of `url` and of `floor` in turn, after a warm-up. */
async function compare(browser, name, url, floor) {
  await firstQuestion(browser, url);
  await firstQuestion(browser, floor);
  const times = { page: [], floor: [] };
  for (let load = 0; load < LOADS; load += 1) {
    times.page.push(await firstQuestion(browser, url));
    times.floor.push(await firstQuestion(browser, floor));
  }
  for (const figure of ["enters", "onScreen"]) {
    const page = median(times.page.map((t) => t[figure]));
    const base = median(times.floor.map((t) => t[figure]));
    console.log(`${name}: first question ${figure === "enters" ? "enters the page" : "on screen"}` +
      ` after ${page.toFixed(1)} ms, floor ${base.toFixed(1)} ms: ratio ${(page / base).toFixed(2)}`);
  }
}

/** The Enter of each answer of the worked example to the next text. */
async function replies(browser, url) {
  await firstQuestion(browser, url);
  for (const answer of ["H", "42", "178", "480"]) {
    await until(() => browser.run(() => document.activeElement.id === "answer"), "the field");
    await browser.type(answer);
    await browser.press("Enter");
    await until(() => browser.run(() => probe.replies.length === probe.keys.length &&
      probe.replies.at(-1).frames !== null), "the reply on screen");
  }
  return browser.run(() => probe.replies);
}

for (const [name, file] of [["page", single], ["app's page", join(app, "index.html")]]) {
  const page = readFileSync(file);
  console.log(`${name}: ${kib(page.length)}, gzipped ${kib(gzipSync(page, { level: 9 }).length)}`);
}
const files = readdirSync(app);
console.log(`app: ${files.length} files, ${kib(files.reduce((sum, f) => sum + statSync(join(app, f)).size, 0))}`);

const folder = mkdtempSync(join(tmpdir(), "dep-bench-"));
cpSync(single, join(folder, "index.html"));
writeFileSync(join(folder, "floor.html"), FLOOR);
const server = new AppServer(app);
await server.start();
// The floor served too, from another port, out of the app's reach.
const floorServer = createServer((request, response) => {
  response.writeHead(200, { "Content-Type": "text/html; charset=utf-8" });
  response.end(FLOOR);
});
await new Promise((resolve) => floorServer.listen(0, "127.0.0.1", resolve));
const browser = await start("chromium");
try {
  await browser.beforeEachDocument(PROBE);
  const disk = `file://${folder}`;
  await compare(browser, "page from the disk", `${disk}/index.html`, `${disk}/floor.html`);
  await until(async () => {
    await browser.open(server.url);
    return browser.run(() => navigator.serviceWorker.controller !== null);
  }, "the app to control the page");
  await compare(browser, "app from its cache", server.url,
    `http://127.0.0.1:${floorServer.address().port}/floor.html`);
  const waits = [];
  for (let run = 0; run < Math.max(Math.floor(LOADS / 3), 1); run += 1) {
    waits.push(...await replies(browser, `${disk}/index.html`));
  }
  const frames = waits.map((w) => w.frames);
  console.log(`Enter to the next text, ${waits.length} answers: in the page after a median of ` +
    `${median(waits.map((w) => w.inPage)).toFixed(1)} ms (longest ` +
    `${Math.max(...waits.map((w) => w.inPage)).toFixed(1)} ms); on screen in the first frame ` +
    `after the Enter ${frames.filter((f) => f === 1).length} times, in the second ` +
    `${frames.filter((f) => f === 2).length} times, later ${frames.filter((f) => f > 2).length} times`);
} finally {
  await browser.close();
  await server.stop();
  floorServer.close();
  rmSync(folder, { recursive: true });
}
