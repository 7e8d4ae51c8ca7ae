// The page and the app in a real browser: one table of cases, each run in
// every engine that can show what it checks.
// Usage: node page_test.mjs chromium|firefox|webkit PAGE APP_FOLDER OUTPUT_FOLDER VERSION
// PAGE is the single file, opened from the disk; APP_FOLDER is the app,
// served by a test server or by Debian's nginx and Apache.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { cpSync, mkdtempSync, readdirSync, readFileSync, rmSync, utimesSync, writeFileSync } from "node:fs";
import { createRequire } from "node:module";
import { tmpdir } from "node:os";
import { dirname, join } from "node:path";
import { fileURLToPath, pathToFileURL } from "node:url";
import { after, before, test } from "node:test";
import { KEPT_FILES, writeWorker } from "../../cmake/scripts/assemble_page.mjs";
import { browserIsGone, crashes, ENGINES, start, until } from "./browsers.mjs";
import { AppServer, RealServer } from "./servers.mjs";

const [ENGINE, PAGE_FILE, APP, OUTPUT, VERSION] = process.argv.slice(2);
const PAGE = pathToFileURL(PAGE_FILE).href;
const SOURCE = fileURLToPath(new URL("../..", import.meta.url));
// What the build writes beside the app: the servers' files, the withdrawal.
const SNIPPETS = join(dirname(APP), "server");
const WITHDRAWAL = join(dirname(APP), "withdrawal");
const AXE = readFileSync(createRequire(import.meta.url).resolve("axe-core/axe.min.js"), "utf8");

/** The README's block after <!-- marker -->, as the document checks read it. */
const readme = (marker) => execFileSync(process.env.CMAKE ?? "cmake",
  [`-DMARKER=${marker}`, "-P", fileURLToPath(new URL("../docs/readme_block.cmake", import.meta.url))],
  { encoding: "utf8" });
// The README's worked example: its piped answers, and the consultation as a
// terminal in line mode shows it.
const WORKED_ANSWERS = readme("piped-example").split("'")[1].split("\\n").slice(0, -1);
const WORKED_EXAMPLE = readme("consultation");

const Q = "Le patient est il un (H)omme , une (F)emme ou un (E)nfant ? ";
const MEASURE = "\nEntrez le resultat du test DEP effectue sur le patient (0 pour quitter) ";
const ADULT_HEIGHT = "\n\nQuel est la taille l individu ? (en cm) ";
const CHILD_HEIGHT = "\nQuel est la taille de l enfant ? (de 6 a 15 ans , en cm) ";

// Lines typed one by one, the keys pressed after the report (none: no key
// wait), and the transcript of the whole run.
const CONSULTATIONS = [
  ["the README's piped answers, Enter as the key", WORKED_ANSWERS, ["Enter"], WORKED_EXAMPLE],
  ["the worked example, Shift alone then a printable key", WORKED_ANSWERS, ["Shift", "k"],
    `${WORKED_EXAMPLE}k`],
  ["a wrong letter, then two answers on one line, an arrow as the key",
    ["x", "H 42", "178", "480"], ["ArrowUp"],
    `${Q}x\n\n${Q}\n${Q}H 42\n\nQuel est l age de l individu ? l age le plus proche est 45 ans${
      ADULT_HEIGHT}${WORKED_EXAMPLE.slice(WORKED_EXAMPLE.indexOf("178\n"))}`],
  ["a child, an accented letter as the key", ["E", "137", "300"], ["\u00e9"],
    `${Q}E\n${CHILD_HEIGHT}137\n\n \n La valeur theorique de la DEP est 283${MEASURE}300\n\n` +
    "La valeur mesuree correspond a 106.0 % de la valeur theorique\u00e9"],
  ["empty answers leave the program waiting on the same question", ["H", "", "42", "", "178", "", "480"],
    ["k"], `${Q}H\n\nQuel est l age de l individu ? \n42\nl age le plus proche est 45 ans${ADULT_HEIGHT}\n${
      WORKED_EXAMPLE.slice(WORKED_EXAMPLE.indexOf("178\n")).replace(MEASURE, `${MEASURE}\n`)}k`],
  ["0 quits", ["F", "17", "150", "0"], [],
    `${Q}F\n\nQuel est l age de l individu ? 17\nl age le plus proche est 20 ans${ADULT_HEIGHT}150\n` +
    `la taille la plus proche est 152\nLa valeur theorique de la DEP est 450 L/Min${MEASURE}0\n`],
  ["typed HTML stays text; the unreadable height and measurement keep 0", ["<i>E</i>"], [],
    `${Q}<i>E</i>\n${`\n${Q}`.repeat(3)}${CHILD_HEIGHT}La taille la plus proche est 100 cm` +
    `\n \n La valeur theorique de la DEP est 124${MEASURE}`],
];

// What the page awaits, read from what a user sees: an answer (the field
// enabled and focused), the key after the report, or a new consultation;
// "busy" otherwise. Whether the focus shows. The field's label is the one
// that names it by its id, not `field.labels`: WebKitGTK 2.50 aborts its web
// process when its garbage collector frees a `labels` list read in a
// document that has been left since (a reload, another page), which it does
// at a moment that depends on the machine's load.
function look() {
  const byId = (id) => document.getElementById(id);
  const field = byId("answer");
  const focus = document.activeElement;
  let state = "busy";
  if (!field.disabled && focus === field) {
    state = "answer";
  } else if (field.disabled && !byId("key-wait").hidden && focus === byId("key")) {
    state = "key";
  } else if (field.disabled && !byId("restart").hidden && focus === byId("restart")) {
    state = "ended";
  }
  const transcript = byId("transcript");
  return {
    state, transcript: transcript.textContent, elements: transcript.children.length,
    label: document.querySelector(`label[for="${field.id}"]`).textContent, focus: focus.id || focus.tagName,
    focusShows: focus.matches(":focus-visible") && getComputedStyle(focus).outlineStyle !== "none",
  };
}

async function waitFor(browser, what, condition) {
  return until(async () => {
    const seen = await browser.run(look);
    return condition(seen) && seen;
  }, what);
}

/** The page's look once it awaits `state`, with the focus showing. */
async function awaiting(browser, state) {
  const seen = await waitFor(browser, `the page to await ${state}`, (l) => l.state === state);
  assert.ok(seen.focusShows, `the focus on ${seen.focus} does not show while awaiting ${state}`);
  return seen;
}

/** Types `line` and Enter once an answer is awaited, and waits until the
 * program has read it (the page shows it then). The field's label names the
 * question awaited, the last line on the screen that is not blank. */
async function answer(browser, line) {
  const before = await awaiting(browser, "answer");
  const lines = before.transcript.split("\n").map((text) => text.trim()).filter((text) => text);
  const question = lines.at(-1);
  assert.ok(before.label.endsWith(`\u00a0: ${question}`), `the field's label ${before.label} names ${question}`);
  await browser.type(line);
  await browser.press("Enter");
  const echoed = `${before.transcript}${line}\n`;
  await waitFor(browser, `${line} on the screen`, (l) => l.transcript.startsWith(echoed));
}

/** One consultation, from the first question on; the page's look at its end. */
async function consult(browser, lines, keys) {
  for (const line of lines) {
    await answer(browser, line);
  }
  if (keys.length > 0) {
    await awaiting(browser, "key"); // the Enter of the measured value is not the key
    await browser.press(...keys);
  }
  return awaiting(browser, "ended");
}

/** Opens `url` and waits for the first question. */
async function open(browser, url) {
  await browser.open(url);
  const first = await awaiting(browser, "answer");
  assert.equal(first.transcript, Q);
}

/** No violation of WCAG 2.2 A and AA, of RGAA 4, nor of axe's best practices, at `step`. */
async function audit(browser, step) {
  if (!await browser.run(() => typeof axe === "object")) {
    await browser.run(AXE); // the page's policy refuses scripts that are not its own
  }
  const violations = await browser.run(async () => {
    const tags = ["wcag2a", "wcag2aa", "wcag21a", "wcag21aa", "wcag22aa", "best-practice", "RGAAv4"];
    const result = await axe.run(document, { runOnly: { type: "tag", values: tags } });
    return result.violations.flatMap((v) => v.nodes.map((n) => `${v.id} ${n.target}: ${n.failureSummary}`));
  });
  assert.deepEqual(violations, [], `accessibility at ${step}`);
}

/** Whether the page is the withdrawal's, and no worker keeps the copy in `folder`. */
async function withdrawn(folder) {
  return document.querySelector("h1")?.textContent === "Application retirée" &&
    (await navigator.serviceWorker.getRegistration(folder))?.scope !== folder;
}

/** Runs the worked example from the first question, "k" as the key, and
 * checks its transcript. */
async function consultsTheWorkedExample(browser, where) {
  assert.equal((await consult(browser, WORKED_ANSWERS, ["k"])).transcript, `${WORKED_EXAMPLE}k`, where);
}

/** Whether the app's worker controls the page, the caches it keeps and the
 * page's version. */
function appState() {
  return caches.keys().then((names) => ({
    controlled: navigator.serviceWorker.controller !== null, caches: names,
    version: document.querySelector("footer p").textContent,
  }));
}

/** The cache of the app's copy in the folder `url`, at `version`, as
 * `named` gives it. */
const cacheOf = (url, version) => `dep-${version} ${url}`;
/** Cache names without the hash of the files they keep, in order. */
const named = (names) => names.map((name) => name.replace(/^(dep-[^ -]+)-[0-9a-f]{16} /, "$1 ")).sort();
/** Waits until the caches, as `named` gives them, are `expected`; says which it saw last otherwise. */
async function cachesBecome(browser, expected, what, patience) {
  let seen;
  try {
    await until(async () => (seen = named((await browser.run(appState)).caches)).join() === expected.sort().join(),
      what, patience);
  } catch (error) {
    throw new Error(`${error.message}; the caches: ${seen}`, { cause: error });
  }
}

/** The last line of the report as the page copies it: dep's version and the tables' scale. */
const REPORT_LAST_LINE = `Calculé par dep ${VERSION}, valeurs théoriques de l’échelle de Wright.`;
/** What the page says near the result. */
const SCALE_LINE = "Les valeurs théoriques sont celles de l’échelle de Wright\u00a0: vérifiez l’échelle du débitmètre.";
/** The app's links to its user guide and its accessibility statement. */
const GUIDE_LINK = "footer a[href=\"mode-d-emploi.html\"]";
const STATEMENT_LINK = "footer a[href=\"accessibilite.html\"]";

/** The conformity that the app's accessibility statement declares. */
const declaredConformity = () =>
  readFileSync(join(APP, "accessibilite.html"), "utf8").match(/<strong id="etat">([^<]+)</)[1];

const KEPT = "Disponible hors ligne sur cet appareil.";
const NOT_KEPT = "Pas disponible hors ligne\u00a0: ";
const NEW_VERSION_NOT_KEPT = `${KEPT} Sa nouvelle version n’a pas pu être gardée\u00a0: `;
/** What the worker says of a file whose bytes are not its build's. */
const OTHER_BYTES = "le serveur a envoyé une autre version du fichier " +
  "(un dossier en cours de remplacement, ou un portail de connexion\u00a0?)";

/** The app's line on working offline, read in its page. */
const offlineText = () => document.getElementById("offline").textContent;
/** The app's line on working offline, once it says something. */
const offlineLine = (browser) => until(() => browser.run(offlineText), "the line on working offline");
/** Waits until the app's line says `line`. */
const lineSays = (browser, line) => until(async () =>
  await browser.run(offlineText) === line, `the line to say ${line}`);

/** Opens the app at `url` and waits until its own worker keeps it and
 * controls the page, and the page says so. */
async function appServedBy(browser, url, version) {
  await open(browser, url);
  await until(() => browser.run((worker, kept) => navigator.serviceWorker.controller?.scriptURL === worker &&
    navigator.serviceWorker.controller.state === "activated" &&
    document.getElementById("offline").textContent === kept, `${url}service-worker.js`, KEPT),
  `the app of version ${version} at ${url} to be kept, control the page and say so`);
  const seen = await browser.run(appState);
  assert.ok(named(seen.caches).includes(cacheOf(url, version)), `${seen.caches} holds ${url} at ${version}`);
  return seen;
}

// Every refusal of the page's Content-Security-Policy, noted before the
// page's own scripts run, where the browser lets a test do that:
// WebKitWebDriver runs no script of a test's before a page's own, so in
// WebKit the refusals are not seen, and not asserted.
const NOTE_REFUSALS = `window.refusals = [];
document.addEventListener("securitypolicyviolation",
  (event) => refusals.push(event.violatedDirective + " " + event.blockedURI));`;

/** The policy refused nothing in the page `browser` shows, where refusals are seen. */
async function refusedNothing(browser, where) {
  if (browser.beforeEachDocument) {
    assert.deepEqual(await browser.run(() => window.refusals), [], `refused at ${where}`);
  }
}

async function newBrowser(options) {
  const browser = await start(ENGINE, options);
  await browser.beforeEachDocument?.(NOTE_REFUSALS);
  return browser;
}

/** Runs `use(browser)` with a new browser started with `options`. */
async function withBrowser(use, options) {
  const browser = await newBrowser(options);
  try {
    await use(browser);
  } finally {
    await browser.close();
  }
}

/**
 * A new folder with a copy of the app's folder, or of the folder `from`: its
 * files at `version`, then as `change(name, bytes)` gives them (null: no
 * such file), and its worker written again for them as the build writes it,
 * unless `worker` is "as is"; with `aged`, every file dated as a release's
 * files are, which a copy that keeps their times shows to the server: two
 * builds' files of one size then have the same time too.
 */
function copyOfApp({ from = APP, version = VERSION, change = (name, bytes) => bytes, worker = "rebuilt",
  aged = false } = {}) {
  const folder = mkdtempSync(join(tmpdir(), "dep-app-"));
  cpSync(from, folder, { recursive: true });
  for (const name of readdirSync(folder)) {
    const bytes = readFileSync(join(folder, name));
    const changed = change(name, name.endsWith(".png") ? bytes : bytes.toString().replaceAll(VERSION, version));
    if (changed === null) {
      rmSync(join(folder, name));
    } else {
      writeFileSync(join(folder, name), changed);
    }
  }
  if (worker === "rebuilt") {
    writeWorker(SOURCE, folder, version);
  }
  if (aged) {
    for (const name of readdirSync(folder)) {
      utimesSync(join(folder, name), RELEASE_TIME, RELEASE_TIME);
    }
  }
  return folder;
}

/** When the release's files were made, some weeks ago. */
const RELEASE_TIME = new Date(Date.now() - 60 * 24 * 3600 * 1000);

/** The servers of the app's folder: the test server, its stand-in for IIS, Debian's nginx. */
const testServer = (folder) => new AppServer(folder);
const iis = (folder) => new AppServer(folder, { iis: true });
const nginx = (folder) => new RealServer("nginx", folder, SNIPPETS);

/**
 * Runs `use(browser, server, session)` with a new browser, started with a
 * profile that outlives it when `profile` (so that `session.restart()` gives
 * another on the same profile) and the host rules `resolve`, and the app
 * served by `serve` from a copy of its folder (copyOfApp, with `copy`).
 */
async function withApp(use, { serve = testServer, profile = false, resolve, ...copy } = {}) {
  const folder = copyOfApp(copy);
  const server = serve(folder);
  const profileFolder = profile ? mkdtempSync(join(tmpdir(), `dep-${ENGINE}-profile-`)) : undefined;
  const session = {
    browser: null,
    async restart() {
      await session.browser?.close();
      session.browser = await newBrowser({ profile: profileFolder, resolve });
      return session.browser;
    },
  };
  try {
    await server.start();
    await use(await session.restart(), server, session);
  } finally {
    await session.browser?.close();
    await server.stop();
    for (const made of [folder, profileFolder]) {
      rmSync(made ?? "", { recursive: true, force: true });
    }
  }
}

/** Makes WebAssembly compile and instantiate only asynchronously, as Chromium
 * did before its version 114 for a module of more than 4 KB, as the page's is. */
const REFUSE_SYNCHRONOUS_WEBASSEMBLY = `for (const name of ["Module", "Instance"]) {
  WebAssembly[name] = function () {
    throw new RangeError("WebAssembly." + name + " is disallowed on the main thread, " +
      "if the buffer size is larger than 4KB. Use WebAssembly.compile, or compile on a worker thread.");
  };
}`;

/** Buttons, fields and links on the screen smaller than a finger (44 × 44 CSS px). */
function smallTargets() {
  return [...document.querySelectorAll("button, input, summary, a")]
    .map((target) => [target, target.getBoundingClientRect()])
    .filter(([target, box]) => target.offsetParent !== null && (box.width < 44 || box.height < 44))
    .map(([target, box]) => `${target.textContent || target.id} ${box.width}x${box.height}`);
}

let shared; // the browser the cases share, started again after a crash

const CASES = [
  ["each typed consultation gives its transcript, and a new one starts clean", ENGINES, async () => {
    await open(shared, PAGE);
    for (const [name, lines, keys, transcript] of CONSULTATIONS) {
      const seen = await consult(shared, lines, keys);
      assert.equal(seen.transcript, transcript, name);
      assert.equal(seen.elements, 0, name);
      assert.equal(await shared.run(() => document.activeElement.textContent),
        "Nouvelle consultation", name);
      await shared.press("Enter");
      await waitFor(shared, "a new consultation", (l) => l.state === "answer" && l.transcript === Q);
    }
  }],

  ["the field asks for the keyboard of the answer awaited; the category buttons answer as typed",
    ENGINES, async () => {
      // The keyboard, the buttons' state, and the answer's format said before it is sent.
      const keyboard = () => shared.run(() => [document.getElementById("answer").inputMode,
        ...[...document.querySelectorAll(".categories button")].map((button) => button.disabled),
        document.getElementById("answer-format").textContent]);
      const [letter, number] = ["Une lettre\u00a0: H, F ou E, ou l’un des boutons.", "Un nombre entier, en chiffres seuls."];
      await open(shared, PAGE);
      assert.deepEqual(await keyboard(), ["text", false, false, false, letter]);
      await shared.click(".categories button[value=F]");
      await waitFor(shared, "the age question", (l) => l.state === "answer" && l.transcript.endsWith("individu ? "));
      // What the browser gives a screen reader of the field: its question and its format.
      assert.deepEqual(await shared.accessibleNode?.("#answer"),
        ENGINE === "chromium" ? { role: "textbox", name: "Réponse à la question\u00a0: Quel est l age de l individu ?",
          description: number } : undefined);
      for (const line of ["17", "150", "0"]) {
        assert.deepEqual(await keyboard(), ["numeric", true, true, true, number]);
        await answer(shared, line);
      }
      // After a click, whether the focus shows is left to the browser.
      const [, , , quits] = CONSULTATIONS.find(([name]) => name === "0 quits");
      assert.equal((await waitFor(shared, "the end", (l) => l.state === "ended")).transcript, quits);
      assert.deepEqual((await keyboard()).slice(1), [true, true, true, ""]);
    }],

  ["the page says the tables' scale near the result; the report is copied as plain text, or shown and " +
    "selected where the clipboard is refused, without the key that ends the wait and with a last line that " +
    "names dep's version and the scale: during the wait, which goes on, by the keyboard, and after it", ENGINES,
  async () => {
    for (const afterTheKey of [false, true]) {
      await open(shared, PAGE);
      const scale = () => shared.run(() => document.querySelector("#report p").checkVisibility() &&
        document.querySelector("#report p").textContent);
      assert.equal(await scale(), false, "the scale's line before the result");
      for (const line of WORKED_ANSWERS) {
        await answer(shared, line);
      }
      await awaiting(shared, "key");
      assert.equal(await scale(), SCALE_LINE);
      if (afterTheKey) {
        await shared.press("k");
        await awaiting(shared, "ended");
      }
      // Only Chromium lets a test read the clipboard back; elsewhere it is refused.
      if (ENGINE === "chromium") {
        await shared.grantClipboard();
      } else {
        await shared.run(() => {
          Object.defineProperty(navigator, "clipboard", { value: {
            writeText: () => Promise.reject(new DOMException("refused", "NotAllowedError")) } });
        });
      }
      if (afterTheKey) {
        await shared.click("#copy");
      } else {
        // Tab and Shift+Tab move between Terminer and the copy without ending
        // the wait, and a key on the copy is no end.
        await shared.press("Tab");
        assert.equal(await shared.run(() => document.activeElement.id), "copy");
        await shared.press("Shift+Tab");
        await awaiting(shared, "key");
        await shared.press("Tab", "Enter", "k");
        assert.equal(await shared.run(() => document.getElementById("key-wait").hidden), false);
      }
      const status = await until(() => shared.run(() => document.getElementById("copy-status").textContent),
        "the copy's status");
      const copied = await shared.run(() => (navigator.clipboard.readText?.() ?? getSelection().toString()));
      assert.equal(copied, `${WORKED_EXAMPLE}\n${REPORT_LAST_LINE}`, `copied ${afterTheKey ? "after" : "during"} the wait`);
      assert.match(status, ENGINE === "chromium" ? /^Compte rendu copié\.$/ : /compte rendu est sélectionné ci-dessous/);
      if (!afterTheKey) {
        await shared.click("#key"); // the key wait went on
        const end = await waitFor(shared, "the end", (l) => l.state === "ended");
        assert.equal(end.transcript, WORKED_EXAMPLE);
      }
    }
  }],

  ["a browser that compiles WebAssembly only asynchronously runs the page; one without it says so",
    ["chromium", "firefox"], async () => {
      for (const [refusal, works] of [[REFUSE_SYNCHRONOUS_WEBASSEMBLY, true], ["delete window.WebAssembly", false]]) {
        await withBrowser(async (browser) => {
          await browser.beforeEachDocument(refusal);
          if (works) {
            await open(browser, PAGE);
            await consultsTheWorkedExample(browser, refusal);
          } else {
            await browser.open(PAGE);
            const alert = await until(() => browser.run(() => document.querySelector("[role=alert]:not([hidden])")
              ?.textContent), "an alert");
            assert.match(alert, /^La consultation n’a pas pu démarrer dans ce navigateur \([^\n]+\)\.$/);
          }
        });
      }
    }],

  ["opened from a disk, the page asks for nothing and its policy refuses nothing", ["chromium", "firefox"],
    async () => {
      shared.requests.splice(0);
      await open(shared, PAGE);
      await consult(shared, WORKED_ANSWERS, ["k"]);
      await refusedNothing(shared, "the single file");
      // The page itself, and the fonts a browser may hand it as data URLs.
      assert.deepEqual(shared.requests.filter((url) => url !== PAGE && !url.startsWith("data:")), []);
    }, "WebKitWebDriver tells no request of the page's, and runs no script before the page's own"],

  ["opened from a disk, the page stores nothing and says nothing of the app", ENGINES, async () => {
    await open(shared, PAGE);
    assert.equal(await shared.run(() => document.querySelectorAll("link, #offline").length), 0);
    // Its licence, then the notices of what Emscripten links into the program, in English.
    const [licence, notices] = await shared.run(() => [...document.querySelectorAll("footer pre")]
      .map((pre) => `${pre.lang} ${pre.textContent}`));
    assert.match(licence, /^en MIT License\n\nCopyright \(c\) 2026 the dep developers\n\nPermission is hereby granted/);
    for (const holder of ["Copyright (c) 2010-2022 The Emscripten Authors", "Copyright © 2005-2020 Rich Felker, et al."]) {
      assert.ok(notices.startsWith("en ") && notices.includes(`${holder}\n\nPermission is hereby granted`), holder);
    }
    // Where its guide and accessibility statement are, with the conformity the statement declares.
    assert.equal(await shared.run(() => document.querySelector("footer p + p").textContent),
      `Accessibilité\u00a0: ${declaredConformity()}. Le mode d’emploi et la déclaration d’accessibilité sont ` +
      `les fichiers mode-d-emploi.html et accessibilite.html de l’application web, dans dep-${VERSION}-app.zip.`);
    await consult(shared, WORKED_ANSWERS, ["k"]);
    const stored = await shared.run(async () => [document.cookie, localStorage.length,
      sessionStorage.length, (await indexedDB.databases()).length]);
    assert.deepEqual(stored, ["", 0, 0, 0]);
  }],

  ["on a phone's screen, 360 and 320 px wide, and at twice the text size with the text spacing of RGAA 10.12, " +
    "nothing scrolls sideways, no text is cut off, what awaits the user is in view and no target is smaller " +
    "than a finger", ["chromium", "firefox"], async () => {
    // As a user's style sheet does it, for every element to come too.
    const enlarge = () => shared.run(() => {
      const sheet = new CSSStyleSheet();
      sheet.replaceSync(`html { font-size: 200% !important; }
        body * { line-height: 1.5 !important; letter-spacing: 0.12em !important; word-spacing: 0.16em !important; }
        p { margin-bottom: 2em !important; }`);
      document.adoptedStyleSheets = [...document.adoptedStyleSheets, sheet];
    });
    // The page brings what awaits the user into view by the next frame.
    const inView = (id, layout) => until(() => shared.run((element) => {
      const box = document.getElementById(element).getBoundingClientRect();
      return box.top >= 0 && box.left >= 0 && box.bottom <= innerHeight && box.right <= innerWidth;
    }, id), `${id} in view, ${layout}`);
    const cutOff = () => shared.run(() => [...document.querySelectorAll("h1, p, label, button, summary, .transcript")]
      .filter((e) => e.offsetParent !== null && (e.scrollWidth > e.clientWidth + 1 || e.scrollHeight > e.clientHeight + 1))
      .map((e) => e.id || e.textContent.slice(0, 30))
      .concat(document.documentElement.scrollWidth > innerWidth ? ["the page, sideways"] : []));
    // Enlarged once the page has shown its first question, which the page
    // has brought into view before: only the phones' screens are asked that.
    const check = async (id, layout) => {
      if (layout !== "enlarged") {
        await inView(id, layout);
      }
      assert.deepEqual([...await cutOff(), ...await shared.run(smallTargets)], [], `${id}, ${layout}`);
    };
    for (const [width, height, layout] of [[360, 640, "360 px wide"], [320, 640, "320 px wide"], [800, 600, "enlarged"]]) {
      await shared.resize(width, height);
      await open(shared, PAGE);
      if (layout === "enlarged") {
        await enlarge();
      }
      for (const line of ["x", "H 42", "178", "480"]) {
        await awaiting(shared, "answer");
        await check("answer", layout);
        await answer(shared, line);
      }
      await awaiting(shared, "key");
      await check("key", layout);
      await audit(shared, `the key wait, ${layout}`);
      await shared.screenshot(join(OUTPUT, `page-${width}x${height}-${layout === "enlarged" ? "200%-" : ""}${ENGINE}.png`));
      await shared.press("k");
      await awaiting(shared, "ended");
    }
  }],

  ["no accessibility fault at any step of a consultation, in the light and the dark colour schemes", ENGINES,
    async () => {
      for (const dark of [false, true]) {
        await withBrowser(async (browser) => {
          const scheme = dark ? "dark" : "light";
          await open(browser, PAGE);
          assert.equal(await browser.run(() => matchMedia("(prefers-color-scheme: dark)").matches), dark);
          await audit(browser, `the first question, ${scheme}`);
          // From the top of the page, the first Tab shows the link to the content.
          await browser.run(() => {
            document.body.tabIndex = -1;
            document.body.focus();
            document.body.removeAttribute("tabindex");
          });
          await browser.press("Tab");
          assert.deepEqual(await browser.run(() => [document.activeElement.getAttribute("href"),
            document.activeElement.getBoundingClientRect().top >= 0, document.querySelector("main").id]),
          ["#contenu", true, "contenu"]);
          await browser.run(() => document.getElementById("answer").focus());
          await answer(browser, "F");
          await answer(browser, "63");
          await awaiting(browser, "answer");
          await audit(browser, `the height question after the age's note, ${scheme}`);
          await answer(browser, "160");
          await answer(browser, "300");
          await awaiting(browser, "key");
          await audit(browser, `the key wait, ${scheme}`);
          await browser.press("Enter");
          await awaiting(browser, "ended");
          await audit(browser, `the end of the run, ${scheme}`);
        }, { dark });
      }
    }],

  ["served, the app works on with the server stopped, after a restart of the browser too, asks the server " +
    "only for a new worker and the files it keeps, and takes a header changed on the server within two visits",
  ENGINES, () => withApp(async (first, server, session) => {
    let browser = first;
    await appServedBy(browser, server.url, VERSION);
    // The page's icon is linked in time: no request outside the app.
    assert.deepEqual(server.requests.filter((path) => !path.startsWith("/app/")), []);
    // The footer's links, for a finger on a phone's screen too.
    await browser.resize?.(360, 640);
    assert.deepEqual(await browser.run(smallTargets), []);
    await server.stop();
    await browser.reload();
    await awaiting(browser, "answer");
    await consultsTheWorkedExample(browser, "offline");
    await audit(browser, "the end of a consultation in the app, offline");
    // Its user guide, kept too.
    await browser.click(GUIDE_LINK);
    await until(async () => await browser.run(() => document.querySelector("h1")?.textContent) ===
      `dep ${VERSION}\u00a0: mode d’emploi`, "the user guide, offline");
    assert.deepEqual(await browser.run(smallTargets), []);
    await audit(browser, "the user guide, offline");
    await open(browser, `${server.url}index.html`);
    if (ENGINE !== "webkit") { // WebKit's MiniBrowser keeps nothing once it has quit
      browser = await session.restart();
      await open(browser, server.url);
    }
    await consultsTheWorkedExample(browser, "offline, in a browser started again");
    await server.start();
    server.requests.splice(0);
    await open(browser, server.url);
    await consult(browser, ["E", "137", "0"], []);
    const asked = ["service-worker.js", ...KEPT_FILES].map((file) => `/app/${file}`);
    assert.deepEqual(server.requests.filter((path) => !asked.includes(path)), []);
    await refusedNothing(browser, "the app served again");
    // IT lets the records application frame the app (IIS's web.config): the
    // kept page takes the server's new header within two visits.
    const config = join(server.folders.get("/app/"), "web.config");
    const framing = "frame-ancestors https://dossier.hopital.example";
    writeFileSync(config, readFileSync(config, "utf8").replace("frame-ancestors 'none'", framing));
    for (let visit = 0; visit < 2; visit += 1) {
      await browser.reload();
      await awaiting(browser, "answer");
    }
    await until(async () => (await browser.run(async () =>
      (await caches.match("index.html"))?.headers.get("Content-Security-Policy")))?.endsWith(framing),
    "the kept page with the server's new policy");
  }, { serve: iis, profile: true })],

  ["a new version of the app, then a change to its files without a new version, replaces what the device keeps " +
    "within two reloads, on nginx without a reload of nginx too; a folder replaced file by file, the worker " +
    "before the page, or a new version the server refuses, is not kept meanwhile: this device's version stays " +
    "in use and the line says both", ENGINES, async () => {
    // Every folder dated alike, as copies of releases made on one day: a
    // server's "not modified" must not hold back the new version.
    const worker = readFileSync(join(APP, "service-worker.js"));
    const halfway = copyOfApp({ version: "0.9.0", worker: "as is", aged: true,
      change: (name, bytes) => (name === "service-worker.js" ? worker : bytes) });
    const refused = copyOfApp({ worker: "as is", aged: true,
      change: (name, bytes) => (name === "manifest.webmanifest" ? null : bytes) });
    const whole = copyOfApp({ worker: "as is", aged: true });
    const heading = "Débit expiratoire de pointe théorique";
    const changed = copyOfApp({ aged: true, change: (name, bytes) => (name === "index.html"
      ? bytes.toString().replace(`<h1>${heading}</h1>`, `<h1>${heading} (essai)</h1>`) : bytes) });
    try {
      for (const serve of [nginx, testServer]) {
        await withApp(async (browser, server) => {
          assert.match((await appServedBy(browser, server.url, "0.9.0")).version, /^dep 0\.9\.0,/);
          for (const [folder, why] of [[halfway, `index.html\u00a0: ${OTHER_BYTES}`],
            [refused, "manifest.webmanifest\u00a0: 404"]]) {
            server.folder = folder;
            await browser.reload();
            await lineSays(browser, `${NEW_VERSION_NOT_KEPT}${why}`);
            assert.match((await browser.run(appState)).version, /^dep 0\.9\.0,/);
          }
          server.folder = whole;
          await browser.reload(); // the old version's worker answers, and finds the new one
          await cachesBecome(browser, [cacheOf(server.url, VERSION)],
            "the new version's files in its cache, the old version's cache deleted");
          await browser.reload();
          await awaiting(browser, "answer");
          assert.equal((await browser.run(appState)).version.split(",")[0], `dep ${VERSION}`);
          assert.equal(await offlineLine(browser), KEPT);
          await refusedNothing(browser, "the new version");
          const kept = (await browser.run(appState)).caches;
          server.folder = changed;
          await browser.reload();
          await until(async () => {
            const { caches } = await browser.run(appState);
            return caches.length === 1 && !kept.includes(caches[0]) && named(caches)[0] === cacheOf(server.url, VERSION);
          }, "the changed files kept, in place of the others");
          await browser.reload();
          await awaiting(browser, "answer");
          assert.equal(await browser.run(() => document.querySelector("h1").textContent), `${heading} (essai)`);
        }, { serve, version: "0.9.0", aged: true });
      }
    } finally {
      for (const folder of [halfway, refused, whole, changed]) {
        rmSync(folder, { recursive: true });
      }
    }
  }],

  ["withdrawn, a copy deletes what the device keeps of it and says so; another copy on the server keeps its own",
    ENGINES, () => withApp(async (browser, server) => {
      server.folders.set("/next/", APP);
      const [first, next] = [server.url, server.urlOf("/next/")];
      await appServedBy(browser, first, VERSION);
      await appServedBy(browser, next, VERSION);
      await open(browser, first);
      server.folder = WITHDRAWAL;
      await browser.reload(); // the kept page, whose worker finds the withdrawal's
      await until(async () => browser.run(withdrawn, first), "the withdrawal's page, and no worker for the withdrawn copy");
      assert.deepEqual(named(await browser.run(() => caches.keys())), [cacheOf(next, VERSION)]);
      await audit(browser, "the page of a withdrawn copy");
      await server.stop();
      await open(browser, next);
      await consultsTheWorkedExample(browser, next);
    })],

  ["a withdrawal whose files keep the build's times, served by nginx as installed, ends the copy on the device " +
    "within three visits", ENGINES, () => withApp(async (browser, server) => {
    await appServedBy(browser, server.url, VERSION);
    const withdrawal = copyOfApp({ from: WITHDRAWAL, worker: "as is", aged: true });
    try {
      server.folder = withdrawal;
      for (let visit = 0; visit < 3; visit += 1) {
        // The withdrawing worker may be opening the page again at the same time.
        await browser.open(server.url).catch(() => null);
      }
      await until(async () => browser.run(withdrawn, server.url), "the withdrawal's page, and no worker");
      assert.deepEqual(await browser.run(() => caches.keys()), []);
    } finally {
      rmSync(withdrawal, { recursive: true });
    }
  }, { serve: nginx, aged: true })],

  ["on Debian's nginx and Apache as installed, with the app's files for them, and on IIS 10 and 7.5, every " +
    "file carries the headers, one policy that is the same for every build, no server file is served, and the " +
    "app is kept and works with the server stopped, its statement read online", ENGINES, async () => {
    // A site's own rules: a longer cache for images and scripts, a policy and a charset for every address.
    const SERVERS = [
      ["nginx", (folder) => new RealServer("nginx", folder, SNIPPETS,
        { site: ["location ~* \\.(png|js|css)$ { expires 30d; }"] })],
      ["Apache", (folder) => new RealServer("apache", folder, SNIPPETS)],
      ["Apache with a site-wide policy and a Latin-1 charset", (folder) => new RealServer("apache", folder, SNIPPETS,
        { site: ["Header set Content-Security-Policy \"default-src 'self'\"", "AddDefaultCharset ISO-8859-1"] })],
      ["IIS", iis],
      ["IIS 7.5", (folder) => new AppServer(folder, { iis: "7.5" })],
    ];
    const policies = new Set();
    for (const [name, serve] of SERVERS) {
      await withApp(async (browser, server) => {
        for (const file of ["", ...KEPT_FILES, "service-worker.js", "accessibilite.html"]) {
          const answer = await fetch(`${server.url}${file}`);
          assert.equal(answer.status, 200, `${name}: ${file}`);
          assert.deepEqual(["x-content-type-options", "referrer-policy", "cache-control"]
            .map((header) => answer.headers.get(header)), ["nosniff", "no-referrer", "no-cache"], `${name}: ${file}`);
          policies.add(answer.headers.get("content-security-policy"));
        }
        for (const file of ["web.config", ".htaccess", "nginx.conf", "apache.conf"]) {
          assert.notEqual((await fetch(`${server.url}${file}`)).status, 200, `${name} serves ${file}`);
        }
        const manifest = await fetch(`${server.url}manifest.webmanifest`);
        assert.equal(manifest.headers.get("content-type"), "application/manifest+json", name);
        if (name.includes("Latin-1")) {
          assert.match((await fetch(server.url)).headers.get("content-type"), /charset=ISO-8859-1$/i);
        }
        await appServedBy(browser, server.url, VERSION);
        assert.equal(await browser.run(() => document.querySelector("h1").textContent),
          "Débit expiratoire de pointe théorique", name);
        await audit(browser, `the app kept by ${name}`);
        // The footer's link to the accessibility statement, under its own policy and the server's.
        assert.equal(await browser.run((link) => document.querySelector(link).textContent, STATEMENT_LINK),
          `Accessibilité\u00a0: ${declaredConformity()}`);
        await browser.click(STATEMENT_LINK);
        await until(async () => await browser.run(() => document.getElementById("etat")?.textContent) ===
          declaredConformity(), `${name}: the accessibility statement`);
        await audit(browser, `the accessibility statement on ${name}`);
        await refusedNothing(browser, `${name}: the statement`);
        await open(browser, server.url);
        await server.stop();
        await browser.reload();
        await awaiting(browser, "answer");
        await consultsTheWorkedExample(browser, name);
        await refusedNothing(browser, name);
        // Offline, the statement's link says that the statement is read online.
        await browser.click(STATEMENT_LINK);
        await until(async () => (await browser.run(() => document.querySelector("main")?.textContent))
          ?.includes("La déclaration d’accessibilité se lit en ligne"), `${name}: the statement's link offline`);
        await audit(browser, `the statement's link offline on ${name}`);
      }, { serve });
    }
    // One policy, which names no build: it forbids every frame and keeps to the app's origin.
    assert.equal(policies.size, 1, [...policies].join("\n"));
    const [policy] = policies;
    assert.match(policy, /^default-src 'self';.* frame-ancestors 'none'$/);
    assert.doesNotMatch(policy, /sha256-/);
  }],

  ["Apache without mod_headers starts and serves its other sites, and answers 403 for the app's folder",
    ["chromium"], async () => { // the server alone: once
      const server = new RealServer("apache", APP, SNIPPETS, { headers: false });
      await server.start();
      try {
        assert.match(await (await fetch(server.origin)).text(), /Autre site/);
        for (const file of ["", ...KEPT_FILES, "service-worker.js", "accessibilite.html"]) {
          assert.equal((await fetch(`${server.url}${file}`)).status, 403, file);
        }
      } finally {
        await server.stop();
      }
    }],

  ["an inline script added to the page does not run: in the single file, or in the app served with the " +
    "server's policy, which leaves scripts to the page's own", ENGINES, async () => {
    const inject = (html) => html.replace("</body>", "<script>document.body.dataset.injected = \"oui\";</script></body>");
    const injected = () => document.body.dataset.injected ?? "not run";
    const folder = copyOfApp({ worker: "as is", change: (name, bytes) => (name === "index.html" ? inject(`${bytes}`) : bytes) });
    try {
      writeFileSync(join(folder, "dep.html"), inject(readFileSync(PAGE_FILE, "utf8")));
      await open(shared, pathToFileURL(join(folder, "dep.html")).href);
      assert.equal(await shared.run(injected), "not run", "the single file");
    } finally {
      rmSync(folder, { recursive: true });
    }
    await withApp(async (browser, server) => {
      await open(browser, server.url);
      assert.equal(await browser.run(injected), "not run", "the app");
    }, { serve: iis, worker: "as is", change: (name, bytes) => (name === "index.html" ? inject(`${bytes}`) : bytes) });
  }],

  ["what the device keeps of the app, evicted by the browser or rewritten by another page of the origin, is " +
    "never served: the line says why, offline the browser fails, and the next visit with a network keeps the " +
    "build again", ENGINES, () => withApp(async (browser, server) => {
    await appServedBy(browser, server.url, VERSION);
    const gone = `${NOT_KEPT}les fichiers de l’application ne sont plus gardés sur cet appareil`;
    const changed = (file) => `${NOT_KEPT}${file}\u00a0: le fichier gardé sur cet appareil a été modifié`;
    // Offline, nothing keeps the files again: the cache emptied, or `files`
    // replaced in it as any page of the origin may do, until the line says `line`.
    const alter = async (files, line) => {
      await server.stop();
      await browser.reload();
      await awaiting(browser, "answer");
      await until(async () => await browser.run(async (urls) => {
        const names = (await caches.keys()).filter((cache) => cache.startsWith("dep-"));
        await Promise.all(urls.length === 0 ? names.map((name) => caches.delete(name))
          : urls.map(async (url) => (await caches.open(names[0])).put(url, new Response(
            "<!DOCTYPE html><title>Remplacée</title><p>Remplacée</p>", { headers: { "Content-Type": "text/html" } }))));
        navigator.serviceWorker.controller.postMessage("state"); // as the page asks once it is on the screen
        return document.getElementById("offline").textContent;
      }, files.map((file) => `${server.url}${file}`)) === line, `the line to say ${line}`);
    };
    await alter([], gone);
    await server.start();
    await browser.reload();
    await lineSays(browser, KEPT);
    await alter(["index.html", "icon-192.png"], changed("index.html"));
    await browser.open(server.url).catch(() => null);
    const failure = await until(() => browser.run(() => document.getElementById("transcript") === null &&
      `${location.href} ${document.documentElement.textContent}`), "the browser's own failure");
    assert.doesNotMatch(failure, /Remplacée/);
    await server.start();
    await open(browser, server.url);
    await lineSays(browser, KEPT);
    await server.stop();
    await browser.reload();
    await consultsTheWorkedExample(browser, "offline, kept again");
    await alter(["icon-192.png"], changed("icon-192.png"));
    await browser.reload();
    await awaiting(browser, "answer");
    await lineSays(browser, changed("icon-192.png"));
  })],

  ["copies of the app on one origin, beside each other or inside the app's folder, and the folder's other " +
    "pages keep to their own: each copy runs its own version and keeps its own files, offline too, through an " +
    "update of one", ENGINES, () => withApp(async (browser, server) => {
    const [first, inner, next] = [server.url, server.urlOf("/app/essai/"), server.urlOf("/next/")];
    server.folders.set("/app/essai/", APP);
    server.folders.set("/next/", APP);
    writeFileSync(join(server.folders.get("/app/"), "notes.html"),
      "<!DOCTYPE html><html lang=\"fr\"><title>Notes</title><p>Notes du service</p></html>");
    await appServedBy(browser, first, "0.9.0");
    // The first visit to the copy inside is that copy's, not the outer copy's kept page.
    assert.ok((await appServedBy(browser, inner, VERSION)).version.startsWith(`dep ${VERSION},`));
    await appServedBy(browser, next, VERSION);
    await browser.open(`${first}notes.html`);
    await until(async () => await browser.run(() => document.body?.textContent) === "Notes du service",
      "the other page as the server gives it");
    // Caches named as before they named their folder: each copy's own page
    // is in one of them.
    await browser.run((folders) => Promise.all(folders.map(async (folder, i) =>
      (await caches.open(`dep-0.${i}`)).put(`${folder}index.html`, new Response("")))), [first, next]);
    const offline = async (firstVersion) => {
      await server.stop();
      for (const [url, version] of [[first, firstVersion], [inner, VERSION], [next, VERSION]]) {
        await open(browser, url);
        assert.ok((await browser.run(appState)).version.startsWith(`dep ${version},`), url);
        await consultsTheWorkedExample(browser, url);
      }
    };
    await offline("0.9.0");
    await server.start();
    server.folder = APP; // the first copy is updated
    await open(browser, first);
    // With a copy inside its folder, Chromium on a loaded machine has kept the
    // new worker waiting for about 33 s, until the old one had been idle for
    // the 30 s after which Chromium stops a worker: why, we do not know.
    await cachesBecome(browser, [first, inner, next].map((url) => cacheOf(url, VERSION)).concat("dep-0.1"),
      "the first copy's older caches deleted, the other copies' kept", 60_000);
    await offline(VERSION);
  }, { version: "0.9.0" })],

  ["an app whose worker cannot keep a file says which and why, and works online: IIS without the app's " +
    "web.config, a sign-on portal that redirects to its login page or gives it in place of a file", ENGINES,
  async () => {
    const portal = (path, how) => (folder) => new AppServer(folder, { portal: new Map([[path, how]]) });
    for (const [app, why] of [
      [{ serve: iis, change: (name, bytes) => (name === "web.config" ? null : bytes) }, "manifest.webmanifest\u00a0: 404"],
      [{ serve: portal("/app/index.html", "redirect") },
        "index.html\u00a0: le serveur a renvoyé vers une autre adresse (un portail de connexion\u00a0?)"],
      [{ serve: portal("/app/icon-192.png", "page") },
        "icon-192.png\u00a0: le serveur a répondu par text/html au lieu de image/png"],
      [{ serve: portal("/app/index.html", "page") }, `index.html\u00a0: ${OTHER_BYTES}`]]) {
      await withApp(async (browser, server) => {
        await open(browser, server.url);
        assert.equal(await offlineLine(browser), `${NOT_KEPT}${why}`);
        await consultsTheWorkedExample(browser, why);
        const { controlled, caches } = await browser.run(appState);
        assert.deepEqual([controlled, caches], [false, []]);
        await audit(browser, "the app that cannot be kept");
      }, app);
    }
  }],

  ["Chromium offers the served app to be installed; at an address that is not HTTPS, or in a browser without " +
    "service workers, the app says that it is not kept", ["chromium"], () => withApp(async (browser, server) => {
    await open(browser, server.url);
    assert.deepEqual(await browser.installabilityErrors(), []);
    // A name for this machine: it is not the device itself to the browser.
    for (const [url, script, reason] of [
      [server.url.replace("127.0.0.1", "dep.test"), "", "l’adresse n’est pas en HTTPS"],
      [server.url, "delete Navigator.prototype.serviceWorker;", "ce navigateur ne garde pas d’application"]]) {
      await browser.beforeEachDocument(script);
      await open(browser, url);
      assert.equal(await offlineLine(browser), `${NOT_KEPT}${reason}`);
      await consultsTheWorkedExample(browser, reason);
    }
  }, { resolve: "MAP dep.test 127.0.0.1" })],
];

before(async () => {
  shared = await newBrowser();
});

after(async () => {
  await shared.close();
});

// A case whose browser has gone fails, saying so; the cases after it start
// a new one. A case is skipped in an engine that cannot show what it
// checks, with the reason.
for (const [name, engines, run, unseen = "not shown"] of CASES) {
  test(name, { skip: !engines.includes(ENGINE) && `${ENGINE}: ${unseen}` }, async () => {
    const before = crashes.count;
    try {
      await run();
    } catch (error) {
      if (browserIsGone(error) || crashes.count > before) {
        await shared.close();
        shared = await newBrowser();
        const crashed = crashes.count > before ? ", its web process crashed" : "";
        throw new Error(`the browser failed during the case${crashed}: ${error.message}`, { cause: error });
      }
      throw error;
    }
  });
}
