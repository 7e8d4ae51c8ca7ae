"use strict";
// The page around the consultation, which runs in the WebAssembly module:
// this script shows what the program writes, hands it the lines the user
// sends, waits for the key after the report and starts a new consultation.
(() => {
  const byId = (id) => document.getElementById(id);
  const transcript = byId("transcript");
  const form = byId("answer-form");
  const field = byId("answer");
  const send = byId("send");
  const question = byId("question");
  const keyWait = byId("key-wait");
  const keyButton = byId("key");
  const restart = byId("restart");
  const failure = byId("failure");

  const encoder = new TextEncoder();
  let decoder = new TextDecoder();
  let line = new Uint8Array(0); // the bytes of the line sent last
  let next = 0; // the next of them the program reads
  let lineSent = null; // ends the read that waits for a line
  let keyPressed = null; // ends the key wait, given what the key shows

  function show(text) {
    if (text !== "") {
      transcript.append(text);
    }
  }

  // Focused and scrolled to at the next frame, where the browser lays the page
  // out anyway: done at once, it would lay the page out in the middle of the
  // program's run and hold back the text just written.
  function bringForward(element) {
    requestAnimationFrame(() => {
      element.focus();
      element.scrollIntoView({ block: "nearest" });
    });
  }

  function enableAnswer(enabled) {
    field.disabled = !enabled;
    send.disabled = !enabled;
  }

  // The console the program talks to (web/browser_console.cpp).
  const page = {
    write(bytes) {
      show(decoder.decode(bytes, { stream: true }));
    },

    nextByte() {
      return next < line.length ? line[next++] : -1;
    },

    awaitLine() {
      const text = transcript.textContent;
      question.textContent = text.slice(text.lastIndexOf("\n") + 1).trim();
      enableAnswer(true);
      bringForward(field);
      return new Promise((resolve) => {
        lineSent = resolve;
      });
    },

    awaitKey() {
      enableAnswer(false);
      keyWait.hidden = false;
      bringForward(keyButton);
      return new Promise((resolve) => {
        keyPressed = (shown) => {
          keyPressed = null;
          keyWait.hidden = true;
          show(shown);
          resolve();
        };
      });
    },
  };

  // The field stays enabled while the program reads the line: it either asks
  // again, which needs the field, or goes on to the key wait or the end, which
  // disable it, all before the page handles anything else.
  form.addEventListener("submit", (event) => {
    event.preventDefault();
    if (lineSent === null) {
      return;
    }
    const text = field.value;
    field.value = "";
    show(`${text}\n`);
    line = encoder.encode(`${text}\n`);
    next = 0;
    const resolve = lineSent;
    lineSent = null;
    resolve();
  });

  // The Enter that sent the last answer has been handled before the wait
  // begins, so only a later key press reaches this.
  document.addEventListener("keydown", (event) => {
    if (keyPressed === null) {
      return;
    }
    const shown = keyWaitEcho(event);
    if (shown !== null) {
      event.preventDefault();
      keyPressed(shown);
    }
  });

  keyButton.addEventListener("click", () => {
    if (keyPressed !== null) {
      keyPressed("");
    }
  });

  async function consult(program) {
    for (;;) {
      transcript.textContent = "";
      decoder = new TextDecoder();
      line = new Uint8Array(0);
      next = 0;
      restart.hidden = true;
      await program.ccall("dep_run_consultation", null, [], [], { async: true });
      enableAnswer(false);
      restart.hidden = false;
      restart.focus();
      await new Promise((resolve) => {
        restart.addEventListener("click", resolve, { once: true });
      });
    }
  }

  function fail(error) {
    enableAnswer(false);
    failure.textContent = `La consultation n’a pas pu démarrer dans ce navigateur (${error}).`;
    failure.hidden = false;
  }

  // The module is compiled already (page_program.js).
  function instantiateWasm(imports, receive) {
    try {
      receive(new WebAssembly.Instance(DEP_PROGRAM, imports), DEP_PROGRAM);
    } catch (error) {
      fail(error);
    }
    return {};
  }

  createDep({ page, instantiateWasm }).then(consult).catch(fail);

  // Served by a web server, the page is also an app that works offline: it
  // links the app's manifest and home-screen icon, and its service worker
  // keeps every file of the app. Opened from a disk, where a browser would
  // refuse to read the manifest, in a browser without service workers or when
  // the worker cannot be installed, it is the same page without the app. (Its
  // icon is linked in the page itself: a browser that finds none when the
  // page is read asks the server for one outside the app.)
  if (location.protocol === "http:" || location.protocol === "https:") {
    const links = [["manifest", "manifest.webmanifest"], ["apple-touch-icon", "icon-192.png"]];
    for (const [rel, href] of links) {
      const link = document.createElement("link");
      link.rel = rel;
      link.href = href;
      document.head.append(link);
    }
    if ("serviceWorker" in navigator) {
      addEventListener("load", () => {
        navigator.serviceWorker.register("service-worker.js").catch(() => {});
      });
    }
  }
})();
