// Writes the web page OUTPUT: web/page.html with the style, the scripts, the
// module's script MODULE_SCRIPT and its WebAssembly code MODULE_WASM in
// base64, the licence, the notices of what Emscripten links into the module
// (web/notices.txt) and the VERSION put in place, and a
// Content-Security-Policy that allows its own inline scripts and style by
// their hashes and nothing else. With --app, the page is the web app's
// index.html: it links the app's icons and manifest and registers its
// service worker (web/page_app.html), and says whether the app works
// offline. The footer says the conformity that the accessibility statement
// declares (web/accessibilite.html), and links to it in the app. With
// --document TEMPLATE, OUTPUT is a page without scripts (the statement, the
// page that says the app was withdrawn) in the page's style, with the
// VERSION and a policy that allows that style and the app's icon.
// Every page starts with a byte-order mark, so that browsers read it as
// UTF-8 whatever charset a server names, and its hashes hold.
// Usage: node assemble_page.mjs SOURCE_DIR MODULE_SCRIPT MODULE_WASM VERSION OUTPUT [--app | --document TEMPLATE]
import { createHash } from "node:crypto";
import { readFileSync, writeFileSync } from "node:fs";
import { join } from "node:path";

const [source, moduleScript, moduleWasm, version, output, mode, template, ...rest] = process.argv.slice(2);
const fail = (message) => {
  console.error(`assemble_page: ${message}`);
  process.exit(1);
};
if (!output || ![undefined, "--app", "--document"].includes(mode) || (mode === "--document") !== (template !== undefined) ||
    rest.length > 0) {
  fail("usage: node assemble_page.mjs SOURCE_DIR MODULE_SCRIPT MODULE_WASM VERSION OUTPUT [--app | --document TEMPLATE]");
}
const app = mode === "--app";

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

/** The policy's sources for the text of every `tag` element without attributes in `html`. */
const inlineSources = (html, tag) => [...html.matchAll(new RegExp(`<${tag}>([\\s\\S]*?)</${tag}>`, "g"))]
  .map(([, text]) => `'sha256-${createHash("sha256").update(text).digest("base64")}'`).join(" ");
/** Writes the page `html`, its policy in place of @DEP_PAGE_POLICY@. */
const writePage = (html, policy) => writeFileSync(output, `\uFEFF${html.replaceAll("@DEP_PAGE_POLICY@", policy)}`);

const style = stripped(web("page.css"));
if (style.includes("</")) {
  fail("the style holds \"</\": it cannot be inlined");
}

if (mode === "--document") {
  const html = fill(read(template), { PROJECT_VERSION: version, DEP_PAGE_POLICY: "@DEP_PAGE_POLICY@", DEP_PAGE_STYLE: style });
  if (html.toLowerCase().includes("<script")) {
    fail(`${template} holds a script`);
  }
  writePage(html, `default-src 'none'; style-src ${inlineSources(html, "style")}; img-src 'self'; ` +
    "base-uri 'none'; form-action 'none'");
  process.exit(0);
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

// The conformity the statement declares, as the page's footer says it; the
// single file links to no other file, so it says where the statement is.
const statement = read(web("accessibilite.html"));
const conformity = statement.match(/<strong id="etat">([^<]+)<\/strong>/)?.[1] ??
  fail("accessibilite.html declares no conformity (<strong id=\"etat\">)");
const accessibility = app ? `<a href="accessibilite.html">Accessibilité : ${conformity}</a>`
  : `Accessibilité : ${conformity}. La déclaration d’accessibilité est le fichier accessibilite.html ` +
    `de l’application web, dans dep-${version}-app.zip.`;

const escaped = (text) => text.replaceAll("&", "&amp;").replaceAll("<", "&lt;").replaceAll(">", "&gt;");
const page = fill(read(web("page.html")), {
  ...scripts,
  PROJECT_VERSION: version,
  DEP_PAGE_POLICY: "@DEP_PAGE_POLICY@", // once the page's inline texts are known
  DEP_APP_HEAD: appHead,
  DEP_APP_STATUS: appStatus,
  DEP_ACCESSIBILITY: accessibility,
  DEP_PAGE_STYLE: style,
  DEP_LICENSE_TEXT: escaped(stripped(join(source, "LICENSE"))),
  DEP_NOTICES_TEXT: escaped(stripped(web("notices.txt"))),
  DEP_MODULE_BASE64: readFileSync(moduleWasm).toString("base64"),
});

writePage(page, `default-src 'none'; script-src ${inlineSources(page, "script")} 'wasm-unsafe-eval'; ` +
  `style-src ${inlineSources(page, "style")}${appSources}; base-uri 'none'; form-action 'none'`);
