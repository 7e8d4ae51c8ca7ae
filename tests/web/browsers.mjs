// The browsers the page is tried in, each started one way and seen through
// one small interface: headless Chromium and Firefox driven by Puppeteer
// (Chromium over its DevTools protocol, Firefox over WebDriver BiDi), and
// WebKit (Safari's engine) in its MiniBrowser, driven by Selenium through
// WebKitWebDriver, which needs an X display (xvfb-run).
import { spawn } from "node:child_process";
import { writeFileSync } from "node:fs";
import { createServer } from "node:net";
import puppeteer from "puppeteer-core";
import webdriver from "selenium-webdriver";

export const ENGINES = ["chromium", "firefox", "webkit"];

/** How long anything a browser is expected to do may take, in ms, on a
 * loaded machine too. */
export const PATIENCE = 20_000;

/** A closed network: Chromium's background connections would all be refused. */
const CHROMIUM_ARGUMENTS = ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
  "--disable-background-networking", "--disable-component-update", "--disable-sync",
  "--disable-dev-shm-usage"];

/**
 * A new browser of `engine` on a blank page, in the dark colour scheme when
 * `dark`, keeping what it stores in the folder `profile` when given, so that a
 * browser started again on it finds it there (Chromium and Firefox), finding
 * host names by the rules `resolve` ("MAP name address", Chromium). Its
 * `run(fn, ...args)` gives what `fn(...args)` gives in the page, once its
 * promise settles (`fn` may also be a script's source); `press(...keys)`
 * presses each key in turn, a name ("Enter", "Shift", "ArrowUp"), a
 * character, or either with Shift ("Shift+Tab"); `click(selector)` clicks
 * the element; `requests` lists every URL the page asked for, where the
 * browser tells (not WebKit's); `close()` closes it, if it has not gone
 * already.
 */
export async function start(engine, { dark = false, profile, resolve } = {}) {
  if (engine === "webkit") {
    return startWebKit(dark);
  }
  const browser = await puppeteer.launch(engine === "firefox" ? {
    browser: "firefox", executablePath: "/usr/bin/firefox-esr", userDataDir: profile,
    extraPrefsFirefox: dark ? { "layout.css.prefers-color-scheme.content-override": 0 } : {},
  } : {
    executablePath: "/usr/bin/chromium", userDataDir: profile,
    args: [...CHROMIUM_ARGUMENTS, ...(dark ? ["--force-dark-mode"] : []),
      ...(resolve ? [`--host-resolver-rules=${resolve}`] : [])],
  });
  // A page of its own, in front: the first tab of a headless Firefox never
  // has the focus, so nothing on it would ever show the focus.
  const [first] = await browser.pages();
  const page = await browser.newPage();
  await first?.close();
  await page.bringToFront();
  page.setDefaultTimeout(PATIENCE);
  const requests = [];
  page.on("request", (request) => requests.push(request.url()));
  const devTools = async (method, parameters) => {
    const session = await page.createCDPSession();
    const answer = await session.send(method, parameters);
    await session.detach();
    return answer;
  };
  return {
    engine, requests,
    /** Runs a script in every document before the document's own scripts. */
    beforeEachDocument: (script) => page.evaluateOnNewDocument(script),
    open: (url) => page.goto(url),
    reload: () => page.reload(),
    run: (fn, ...args) => page.evaluate(fn, ...args),
    type: (text) => page.keyboard.type(text),
    click: (selector) => page.click(selector),
    async press(...keys) {
      for (const key of keys) {
        if (key.startsWith("Shift+")) {
          await page.keyboard.down("Shift");
          await page.keyboard.press(key.slice("Shift+".length));
          await page.keyboard.up("Shift");
        } else if (engine === "chromium" && [...key].length === 1 && key > "\x7f") {
          // Beyond a US keyboard, as Chromium gets a key from a French one.
          for (const type of ["keyDown", "keyUp"]) {
            await devTools("Input.dispatchKeyEvent", { type, key, text: key });
          }
        } else {
          await page.keyboard.press(key);
        }
      }
    },
    // Firefox ESR 140 sets the viewport but knows no screen orientation,
    // which Puppeteer sets beside it and the tests do not need.
    resize: (width, height) => page.setViewport({ width, height }).catch((error) => {
      if (!/unknown command emulation\.setScreenOrientationOverride/.test(error.message)) {
        throw error;
      }
    }),
    screenshot: (file) => page.screenshot({ path: file }),
    /** Lets every page read and write the clipboard (Chromium), for as long
     * as the browser runs: the grant ends with the session that made it. */
    grantClipboard: async () => (await browser.target().createCDPSession()).send(
      "Browser.grantPermissions", { permissions: ["clipboardReadWrite", "clipboardSanitizedWrite"] }),
    /** The role, name and description the browser gives assistive technologies
     * of the element `selector` (Chromium's accessibility tree). */
    accessibleNode: engine === "chromium" ? async (selector) => {
      const { role, name, description } = await page.accessibility.snapshot({ root: await page.$(selector) });
      return { role, name, description };
    } : undefined,
    /** Chromium's reasons not to offer the page as an app: none when it would. */
    installabilityErrors: async () =>
      (await devTools("Page.getInstallabilityErrors")).installabilityErrors,
    close: () => browser.close().catch(() => {}),
  };
}

/** How many times a browser has crashed, as far as it said. */
export const crashes = { count: 0 };

async function startWebKit(dark) {
  const port = await freePort();
  // In a process group of its own, with the MiniBrowser it starts.
  const service = spawn("/usr/bin/WebKitWebDriver", [`--port=${port}`],
    { stdio: ["ignore", "ignore", "pipe"], detached: true });
  // The MiniBrowser says so when its web process crashes; WebDriver then
  // fails in many ways ("page crash or hang", no active element), or not at all.
  service.stderr.on("data", (text) => {
    crashes.count += (String(text).match(/WebProcess CRASHED/g) ?? []).length;
  });
  const url = `http://127.0.0.1:${port}`;
  await until(async () => (await fetch(`${url}/status`)).ok, "WebKitWebDriver to answer");
  const driver = await new webdriver.Builder().usingServer(url).withCapabilities({
    browserName: "MiniBrowser",
    "webkitgtk:browserOptions": {
      binary: "/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser",
      args: ["--automation", ...(dark ? ["--dark-mode"] : [])],
    },
  }).build();
  const focused = () => driver.switchTo().activeElement();
  return {
    engine: "webkit",
    requests: null,
    open: (url) => driver.get(url),
    reload: () => driver.navigate().refresh(),
    run: (fn, ...args) => driver.executeScript(
      typeof fn === "string" ? fn : `return (${fn}).apply(null, arguments)`, ...args),
    type: async (text) => text && (await focused()).sendKeys(text),
    click: async (selector) => (await driver.findElement(webdriver.By.css(selector))).click(),
    async press(...keys) {
      const named = (key) => (key.length > 1 ? webdriver.Key[key.replace(/^Arrow/, "Arrow_").toUpperCase()] : key);
      for (const key of keys) {
        if (key.startsWith("Shift+")) {
          // As actions: a chord's closing NULL key reaches the page as a key press.
          const shift = webdriver.Key.SHIFT;
          await driver.actions().keyDown(shift).sendKeys(named(key.slice("Shift+".length))).keyUp(shift).perform();
        } else {
          await (await focused()).sendKeys(named(key));
        }
      }
    },
    screenshot: async (file) => writeFileSync(file, await driver.takeScreenshot(), "base64"),
    async close() {
      // A driver whose web process has crashed may never answer.
      const deadline = new Promise((resolve) => setTimeout(resolve, PATIENCE).unref());
      await Promise.race([driver.quit().catch(() => {}), deadline]);
      try {
        process.kill(-service.pid);
      } catch {
        // the driver and its browser have ended already
      }
      service.stderr.destroy();
    },
  };
}

/** A TCP port nothing listens on now. */
export function freePort() {
  return new Promise((resolve, reject) => {
    const server = createServer().listen(0, "127.0.0.1", () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    }).on("error", reject);
  });
}

/** Whether `error` says that the browser itself has gone (it crashed or quit). */
export function browserIsGone(error) {
  return ["NoSuchSessionError", "TargetCloseError"].includes(error?.name) ||
    /Target closed|Session closed|Connection closed/.test(error?.message);
}

/**
 * What `condition()` gives once it holds, within `patience` ms; an error
 * counts as not yet, unless the browser has gone. `what` names what is awaited.
 */
export async function until(condition, what, patience = PATIENCE) {
  const deadline = Date.now() + patience;
  let last;
  for (;;) {
    try {
      last = await condition();
      if (last) {
        return last;
      }
    } catch (error) {
      if (browserIsGone(error)) {
        throw error;
      }
      last = error;
    }
    if (Date.now() > deadline) {
      const seen = last instanceof Error ? `${last.name}: ${last.message}` : JSON.stringify(last);
      throw new Error(`waited ${patience / 1000} s for ${what}; last seen: ${seen}`);
    }
    await new Promise((resolve) => setTimeout(resolve, 20));
  }
}
