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
  const format = byId("answer-format");
  const categories = [...document.querySelectorAll(".categories button")];
  const keyWait = byId("key-wait");
  const keyButton = byId("key");
  const report = byId("report");
  const copyButton = byId("copy");
  const copyStatus = byId("copy-status");
  const copyText = byId("copy-text");
  const restart = byId("restart");
  const failure = byId("failure");

  const encoder = new TextEncoder();
  let decoder = new TextDecoder();
  let line = new Uint8Array(0); // the bytes of the line sent last
  let next = 0; // the next of them the program reads
  let lineSent = null; // ends the read that waits for a line
  let keyPressed = null; // ends the key wait, given what the key shows
  let reportEnd = 0; // the transcript's text nodes up to the key wait: the report

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

  // While a number is awaited, a phone shows its numeric keypad and the
  // category buttons cannot be used; while a character is awaited, letters.
  // The answer's format is said before it is sent.
  // The answer sent last is cleared here, not as it is sent: cleared while
  // the field has the focus, a screen reader follows the field's caret back
  // to it once the focus has gone to Terminer.
  function enableAnswer(enabled, number = false) {
    field.value = "";
    field.disabled = !enabled;
    send.disabled = !enabled;
    field.inputMode = number ? "numeric" : "text";
    format.textContent = !enabled ? "" : number ? "Un nombre entier, en chiffres seuls."
      : "Une lettre\u00a0: H, F ou E, ou l’un des boutons.";
    for (const button of categories) {
      button.disabled = !enabled || number;
    }
  }

  // The console the program talks to (web/browser_console.cpp).
  const page = {
    write(bytes) {
      show(decoder.decode(bytes, { stream: true }));
    },

    nextByte() {
      return next < line.length ? line[next++] : -1;
    },

    // The question awaited is the last line the program wrote that is not
    // blank: after an empty answer, the program goes on waiting on it.
    awaitLine(number) {
      const text = transcript.textContent.trimEnd();
      question.textContent = text.slice(text.lastIndexOf("\n") + 1).trim();
      enableAnswer(true, number);
      bringForward(field);
      return new Promise((resolve) => {
        lineSent = resolve;
      });
    },

    // Terminer has the focus before the field is disabled: a screen reader
    // then follows the focus, not the field that loses it.
    awaitKey() {
      reportEnd = transcript.childNodes.length;
      keyWait.hidden = false;
      report.hidden = false;
      keyButton.focus();
      enableAnswer(false);
      requestAnimationFrame(() => keyButton.scrollIntoView({ block: "nearest" }));
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
  function sendLine(text) {
    if (lineSent === null) {
      return;
    }
    show(`${text}\n`);
    line = encoder.encode(`${text}\n`);
    next = 0;
    const resolve = lineSent;
    lineSent = null;
    resolve();
  }

  form.addEventListener("submit", (event) => {
    event.preventDefault();
    sendLine(field.value);
  });

  // A category button answers as its letter typed alone and Enter.
  for (const button of categories) {
    button.addEventListener("click", () => sendLine(button.value));
  }

  // The report as plain text, for the patient's record, as it stood when the
  // key wait began (without the key the wait echoed), and a last line that
  // names dep's version and the tables' scale. Where the browser refuses the
  // clipboard, shown below and selected for the user to copy.
  copyButton.addEventListener("click", async () => {
    const report = document.createRange();
    report.setStart(transcript, 0);
    report.setEnd(transcript, reportEnd);
    const text = `${report}\n${copyButton.dataset.lastLine}`;
    // Emptied first, and said at the next frame, so that a second copy is
    // announced again.
    copyStatus.textContent = "";
    // Where there is no clipboard, as where it is refused.
    const copied = await Promise.resolve().then(() => navigator.clipboard.writeText(text)).then(() => true, () => false);
    await new Promise(requestAnimationFrame);
    if (copied) {
      copyStatus.textContent = "Compte rendu copié.";
    } else {
      copyText.textContent = text;
      copyText.hidden = false;
      getSelection().selectAllChildren(copyText);
      copyStatus.textContent =
        "Le navigateur n’a pas permis la copie\u00a0: le compte rendu est sélectionné ci-dessous, copiez-le.";
    }
  });

  // The Enter that sent the last answer has been handled before the wait
  // begins, so only a later key press reaches this. A key ends the wait on
  // the Terminer button only, which has the focus then: elsewhere a key is
  // the page's or the browser's.
  keyButton.addEventListener("keydown", (event) => {
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
      report.hidden = true;
      copyText.hidden = true;
      copyStatus.textContent = "";
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

  // The module is compiled already where the browser allows it
  // (page_program.js), and instantiated at once; where the browser refuses
  // either while it reads the page, both are done asynchronously.
  async function instantiateLater(imports) {
    const { module, code } = DEP_PROGRAM;
    if (module) {
      return { instance: await WebAssembly.instantiate(module, imports), module };
    }
    return WebAssembly.instantiate(code, imports);
  }

  function instantiateWasm(imports, receive) {
    let instance;
    try {
      instance = new WebAssembly.Instance(DEP_PROGRAM.module, imports);
    } catch {
      instantiateLater(imports).then((later) => receive(later.instance, later.module)).catch(fail);
      return {};
    }
    receive(instance, DEP_PROGRAM.module);
    return {};
  }

  // A browser that cannot run the program may fail at once, as well as later.
  new Promise((resolve) => resolve(createDep({ page, instantiateWasm }))).then(consult).catch(fail);
})();
