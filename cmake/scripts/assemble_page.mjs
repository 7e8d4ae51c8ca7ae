// Writes the web page OUTPUT: web/page.html with the style, the scripts, the
// module's script MODULE_SCRIPT and its WebAssembly code MODULE_WASM in
// base64, the licence, the notices of what Emscripten links into the module
// (web/notices.txt) and the VERSION put in place, and a
// Content-Security-Policy that allows its own inline scripts and style by
// their hashes and nothing else. With --app, the page is the web app's
// index.html: it links the app's icons and manifest and registers its
// service worker (web/page_app.html), says whether the app works offline,
// and the files that tell a web server how to serve the app are written
// beside it (web/server/), with the page's policy as a header.
// Usage: node assemble_page.mjs SOURCE_DIR MODULE_SCRIPT MODULE_WASM VERSION OUTPUT [--app]
import { createHash } from "node:crypto";
import { readFileSync, writeFileSync } from "node:fs";
import { dirname, join } from "node:path";

const [source, moduleScript, moduleWasm, version, output, app] = process.argv.slice(2);
const fail = (message) => {
  console.error(`assemble_page: ${message}`);
  process.exit(1);
};
if (!output || ![undefined, "--app"].includes(app)) {
  fail("usage: node assemble_page.mjs SOURCE_DIR MODULE_SCRIPT MODULE_WASM VERSION OUTPUT [--app]");
}

const read = (file) => readFileSync(file, "utf8");
/** `text` without the ASCII blanks at its start and end. */
const strip = (text) => text.replace(/^[ \t\n\v\f\r]+|[ \t\n\v\f\r]+$/g, "");
const stripped = (file) => strip(read(file));
const web = (name) => join(source, "web", name);

/** `template` with each @NAME@ replaced by `values[NAME]`; any other is a fault. */
function fill(template, values) {
  return template.replace(/@([A-Za-z_0-9]+)@/g, (whole, name) =>
    (name in values ? values[name] : fail(`nothing to put in place of ${whole}`)));
}

const scripts = {
  DEP_PROGRAM_SCRIPT: stripped(web("page_program.js")),
  DEP_KEYS_SCRIPT: stripped(web("page_keys.js")),
  DEP_MODULE_SCRIPT: stripped(moduleScript),
  DEP_PAGE_SCRIPT: stripped(web("page.js")),
};
let appHead = "";
let appStatus = "";
// The app's requests: the worker fetches the app's files under the same policy.
let appSources = "";
if (app) {
  scripts.DEP_APP_SCRIPT = stripped(web("page_app.js"));
  appHead = strip(fill(read(web("page_app.html")), scripts));
  appStatus = "<p id=\"offline\" role=\"status\"></p>";
  appSources = "; connect-src 'self'; worker-src 'self'; manifest-src 'self'; img-src 'self'";
}

// Inside a script element, these would end the script or change how the
// browser reads it.
for (const [name, text] of Object.entries(scripts)) {
  for (const sequence of ["</script", "<!--", "<script"]) {
    if (text.toLowerCase().includes(sequence)) {
      fail(`${name} holds "${sequence}": it cannot be inlined`);
    }
  }
}
const style = stripped(web("page.css"));
if (style.includes("</")) {
  fail("the style holds \"</\": it cannot be inlined");
}

const escaped = (text) => text.replaceAll("&", "&amp;").replaceAll("<", "&lt;").replaceAll(">", "&gt;");
const page = fill(read(web("page.html")), {
  ...scripts,
  PROJECT_VERSION: version,
  DEP_PAGE_POLICY: "@DEP_PAGE_POLICY@", // once the page's inline texts are known
  DEP_APP_HEAD: appHead,
  DEP_APP_STATUS: appStatus,
  DEP_PAGE_STYLE: style,
  DEP_LICENSE_TEXT: escaped(stripped(join(source, "LICENSE"))),
  DEP_NOTICES_TEXT: escaped(stripped(web("notices.txt"))),
  DEP_MODULE_BASE64: readFileSync(moduleWasm).toString("base64"),
});

/** The policy's sources for the text of every `tag` element without attributes. */
const inlineSources = (tag) => [...page.matchAll(new RegExp(`<${tag}>([\\s\\S]*?)</${tag}>`, "g"))]
  .map(([, text]) => `'sha256-${createHash("sha256").update(text).digest("base64")}'`).join(" ");
const policy = `default-src 'none'; script-src ${inlineSources("script")} 'wasm-unsafe-eval'; ` +
  `style-src ${inlineSources("style")}${appSources}; base-uri 'none'; form-action 'none'`;
writeFileSync(output, page.replaceAll("@DEP_PAGE_POLICY@", policy));

// A page cannot forbid other sites to frame it: the server says so.
if (app) {
  const headers = { DEP_HEADER_POLICY: `${policy}; frame-ancestors 'none'` };
  for (const [name, served] of [["web.config", "web.config"], ["htaccess", ".htaccess"], ["nginx.conf", "nginx.conf"]]) {
    writeFileSync(join(dirname(output), served), fill(read(join(source, "web", "server", name)), headers));
  }
}
