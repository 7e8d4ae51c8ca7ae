"use strict";
// The program's WebAssembly code, in base64 in the page: decoded and compiled
// at once, while the browser goes on reading the page.
const DEP_PROGRAM = (() => {
  const text = atob(document.getElementById("program").textContent);
  const code = new Uint8Array(text.length);
  for (let i = 0; i < text.length; i += 1) {
    code[i] = text.charCodeAt(i);
  }
  return WebAssembly.compile(code);
})();
