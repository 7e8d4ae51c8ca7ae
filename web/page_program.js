"use strict";
// The program's WebAssembly code, in base64 in the page, decoded (by the
// browser itself where it can) and compiled at once: the module is small
// enough for every browser to compile it while it reads the page, so the first
// question is on the page as soon as the page has been read.
const DEP_PROGRAM = (() => {
  const text = document.getElementById("program").textContent;
  if (Uint8Array.fromBase64) {
    return new WebAssembly.Module(Uint8Array.fromBase64(text));
  }
  const bytes = atob(text);
  const code = new Uint8Array(bytes.length);
  for (let i = 0; i < bytes.length; i += 1) {
    code[i] = bytes.charCodeAt(i);
  }
  return new WebAssembly.Module(code);
})();
