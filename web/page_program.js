"use strict";
// The program's WebAssembly code, in base64 in the page, decoded (by the
// browser itself where it can) and compiled at once: the first question is on
// the page as soon as the page has been read. Where the browser refuses to
// compile it while it reads the page (Chromium before 114 did for a module of
// more than 4 KB), or cannot compile it at all, `module` is null and the page
// goes on asynchronously (page.js).
const DEP_PROGRAM = (() => {
  const text = document.getElementById("program").textContent;
  let code;
  if (Uint8Array.fromBase64) {
    code = Uint8Array.fromBase64(text);
  } else {
    const bytes = atob(text);
    code = new Uint8Array(bytes.length);
    for (let i = 0; i < bytes.length; i += 1) {
      code[i] = bytes.charCodeAt(i);
    }
  }
  try {
    return { code, module: new WebAssembly.Module(code) };
  } catch {
    return { code, module: null };
  }
})();
