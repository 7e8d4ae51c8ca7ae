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

/** A closed network: Chromium's background connections would all be refused. */
const CHROMIUM_ARGUMENTS = ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
  "--disable-background-networking", "--disable-component-update", "--disable-sync",
  "--disable-dev-shm-usage"];

/** How long anything a browser is expected to do may take. */
export const PATIENCE = 10_000;

/**
 * A new browser of `engine` showing a blank page, in the dark colour scheme
 * when `dark`, keeping what it stores in `profile` (a folder) when given so
 * that a browser started again on it finds it (Chromium and Firefox).
 */
export async function start(engine, { dark = false, profile } = {}) {
  if (engine === "webkit") {
    return WebKit.start(dark);
  }
  const browser = await puppeteer.launch(engine === "firefox" ? {
    browser: "firefox", executablePath: "/usr/bin/firefox-esr", userDataDir: profile,
    extraPrefsFirefox: dark ? { "layout.css.prefers-color-scheme.content-override": 0 } : {},
  } : {
    executablePath: "/usr/bin/chromium", userDataDir: profile,
    args: [...CHROMIUM_ARGUMENTS, ...(dark ? ["--force-dark-mode"] : [])],
  });
  // A page of its own, in front: the first tab of a headless Firefox never
  // has the focus, so nothing on it would ever show the focus.
  const [first] = await browser.pages();
  const page = await browser.newPage();
  await first?.close();
  await page.bringToFront();
  return new Puppeteer(engine, browser, page);
}

/** Chromium or Firefox, through Puppeteer. */
class Puppeteer {
  constructor(engine, browser, page) {
    this.engine = engine;
    this.browser = browser;
    this.page = page;
    page.setDefaultTimeout(PATIENCE);
    /** Every URL the page asked for, in order. */
    this.requests = [];
    page.on("request", (request) => this.requests.push(request.url()));
  }

  /** Runs `script` in every document before the document's own scripts. */
  async beforeEachDocument(script) {
    await this.page.evaluateOnNewDocument(script);
  }

  async open(url) {
    await this.page.goto(url);
  }

  async reload() {
    await this.page.reload();
  }

  /** What `fn(...args)` gives in the page, once its promise, if any, settles. */
  async run(fn, ...args) {
    return this.page.evaluate(fn, ...args);
  }

  async runScript(source) {
    await this.page.evaluate(source);
  }

  /** Presses each key in turn: a key name ("Enter", "Shift", "ArrowUp") or a character. */
  async press(...keys) {
    for (const key of keys) {
      if (this.engine === "chromium" && [...key].length === 1 && key > "\x7f") {
        // Beyond a US keyboard, as Chromium gets a key from a French one.
        const session = await this.page.createCDPSession();
        for (const type of ["keyDown", "keyUp"]) {
          await session.send("Input.dispatchKeyEvent", { type, key, text: key });
        }
        await session.detach();
      } else {
        await this.page.keyboard.press(key);
      }
    }
  }

  async type(text) {
    await this.page.keyboard.type(text);
  }

  async resize(width, height) {
    await this.page.setViewport({ width, height });
  }

  async screenshot(file) {
    await this.page.screenshot({ path: file });
  }

  /** Chromium's reasons not to offer the page as an app: none when it would. */
  async installabilityErrors() {
    const session = await this.page.createCDPSession();
    const { installabilityErrors } = await session.send("Page.getInstallabilityErrors");
    await session.detach();
    return installabilityErrors;
  }

  /** Closes the browser, which may have gone already. */
  async close() {
    await this.browser.close().catch(() => {});
  }
}

/** WebKit's MiniBrowser, through Selenium and WebKitWebDriver. */
class WebKit {
  static async start(dark) {
    const port = await freePort();
    const service = spawn("/usr/bin/WebKitWebDriver", [`--port=${port}`], { stdio: "ignore" });
    const url = `http://127.0.0.1:${port}`;
    await until(async () => (await fetch(`${url}/status`)).ok, "WebKitWebDriver to answer");
    const driver = await new webdriver.Builder().usingServer(url).withCapabilities({
      browserName: "MiniBrowser",
      "webkitgtk:browserOptions": {
        binary: "/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser",
        args: ["--automation", ...(dark ? ["--dark-mode"] : [])],
      },
    }).build();
    return new WebKit(driver, service);
  }

  constructor(driver, service) {
    this.engine = "webkit";
    this.driver = driver;
    this.service = service;
    /** WebDriver does not say what a page asks for. */
    this.requests = null;
  }

  async open(url) {
    await this.driver.get(url);
  }

  async reload() {
    await this.driver.navigate().refresh();
  }

  async run(fn, ...args) {
    return this.driver.executeScript(`return (${fn}).apply(null, arguments)`, ...args);
  }

  async runScript(source) {
    await this.driver.executeScript(source);
  }

  async press(...keys) {
    for (const key of keys) {
      const name = key.replace(/^Arrow/, "Arrow_").toUpperCase();
      const element = await this.driver.switchTo().activeElement();
      await element.sendKeys(key.length > 1 ? webdriver.Key[name] : key);
    }
  }

  async type(text) {
    await (await this.driver.switchTo().activeElement()).sendKeys(text);
  }

  async screenshot(file) {
    writeFileSync(file, await this.driver.takeScreenshot(), "base64");
  }

  async close() {
    await this.driver.quit().catch(() => {});
    this.service.kill();
  }
}

/** A TCP port nothing listens on now. */
function freePort() {
  return new Promise((resolve, reject) => {
    const server = createServer().listen(0, "127.0.0.1", () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    }).on("error", reject);
  });
}

/** Whether `error` says that the browser itself has gone (it crashed). */
export function browserIsGone(error) {
  return ["NoSuchSessionError", "TargetCloseError"].includes(error?.name) ||
    /Target closed|Session closed|Connection closed/.test(error?.message);
}

/**
 * What `condition()` gives once it holds (an error counts as not yet), within
 * PATIENCE; `what` names what is awaited.
 */
export async function until(condition, what) {
  const deadline = Date.now() + PATIENCE;
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
      throw new Error(`waited ${PATIENCE / 1000} s for ${what}; last seen: ${seen}`);
    }
    await new Promise((resolve) => setTimeout(resolve, 20));
  }
}
