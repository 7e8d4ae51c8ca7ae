// Writes the web page OUTPUT: web/page.html with the style, the scripts, the
// module's script MODULE_SCRIPT and its WebAssembly code MODULE_WASM in
// base64, the licence, the notices of what Emscripten links into the module
// (web/notices.txt) and the VERSION put in place, and a
// Content-Security-Policy that allows its own inline scripts and style by
// their hashes and nothing else. With --app, the page is the web app's
// index.html: it links the app's icons and manifest and registers its
// service worker (web/page_app.html), and says whether the app works
// offline. The footer says the conformity that the accessibility audit's
// grid gives (web/accessibilite.csv), and links to the statement and the
// user guide in the app. With --document TEMPLATE, OUTPUT is a page without
// scripts (the statement, the user guide, the page that says the app was
// withdrawn) made of the head and body TEMPLATE holds within
// web/document.html, in the page's style, with the VERSION and a policy that
// allows that style and the app's icon.
// With --worker, OUTPUT is the app's service worker, written beside the
// files it keeps (KEPT_FILES) with the SHA-256 of each; with --withdrawn,
// the worker of the app's withdrawal, which keeps nothing.
// Every page starts with a byte-order mark, so that browsers read it as
// UTF-8 whatever charset a server names, and its hashes hold.
// Usage: node assemble_page.mjs SOURCE_DIR MODULE_SCRIPT MODULE_WASM VERSION OUTPUT
//          [--app | --document TEMPLATE | --worker | --withdrawn]
// The tests import writeWorker() and KEPT_FILES.
import { createHash } from "node:crypto";
import { readFileSync, writeFileSync } from "node:fs";
import { dirname, join } from "node:path";
import { fileURLToPath } from "node:url";

/** What the app's worker keeps on each device; the browser keeps the worker itself. */
export const KEPT_FILES = ["index.html", "mode-d-emploi.html", "manifest.webmanifest", "icon.svg", "icon-192.png",
  "icon-512.png"];

const fail = (message) => {
  throw new Error(`assemble_page: ${message}`);
};
const read = (file) => readFileSync(file, "utf8");
/** `text` without the ASCII blanks at its start and end. */
const strip = (text) => text.replace(/^[ \t\n\v\f\r]+|[ \t\n\v\f\r]+$/g, "");
const stripped = (file) => strip(read(file));
/** Our script or style `file` without its comment lines, which the page need not carry. */
const uncommented = (file) => strip(read(file).replace(/^[ \t]*\/\*[\s\S]*?\*\/[ \t]*\n/gm, "")
  .replace(/^[ \t]*\/\/.*\n/gm, ""));
const sha256 = (bytes, encoding) => createHash("sha256").update(bytes).digest(encoding);

/** `template` with each @NAME@ replaced by `values[NAME]`; any other is a fault. */
function fill(template, values) {
  return template.replace(/@([A-Za-z_0-9]+)@/g, (whole, name) =>
    (name in values ? values[name] : fail(`nothing to put in place of ${whole}`)));
}

/** The policy's sources for the text of every `tag` element without attributes in `html`. */
const inlineSources = (html, tag) => [...html.matchAll(new RegExp(`<${tag}>([\\s\\S]*?)</${tag}>`, "g"))]
  .map(([, text]) => `'sha256-${sha256(text, "base64")}'`).join(" ");

/** The page's style, which every page inlines. */
function pageStyle(source) {
  const style = uncommented(join(source, "web", "page.css"));
  if (style.includes("</")) {
    fail("the style holds \"</\": it cannot be inlined");
  }
  return style;
}

/**
 * What the accessibility audit's grid, web/accessibilite.csv, gives: each
 * criterion of RGAA 4.1.2 with its status, C (met), NC (not met), NA (not
 * applicable) or NT (not tested), and its reason; the rate of the tested
 * applicable criteria met, rounded down, and the conformity RGAA names for
 * it. An audit with criteria not tested declares at best a partial
 * conformity.
 */
function audit(grid) {
  const [header, ...lines] = grid.trimEnd().split("\n");
  if (header !== "critere,statut,raison") {
    fail(`accessibilite.csv: the first line is not critere,statut,raison: ${header}`);
  }
  const rows = lines.map((line) => {
    const [, criterion, status, reason] = line.match(/^(\d+\.\d+),(C|NC|NA|NT),"([^"]+)"$/) ??
      fail(`accessibilite.csv: not a criterion, a status C, NC, NA or NT and a quoted reason: ${line}`);
    return { criterion, status, reason };
  });
  const having = (status) => rows.filter((row) => row.status === status);
  const [met, failed, untested] = [having("C"), having("NC"), having("NT")];
  const rate = Math.floor((100 * met.length) / (met.length + failed.length));
  const state = rate === 100 && untested.length === 0 ? "totalement conforme"
    : rate >= 50 ? "partiellement conforme" : "non conforme";
  return { met, failed, untested, unapplicable: having("NA"), rate, state };
}

/** The numbers of `rows`' criteria, in French: "7.1, 7.5 et 8.2". */
const criteria = (rows) => rows.map((row) => row.criterion).join(", ").replace(/, ([^,]+)$/, " et $1");

const grid = (source) => read(join(source, "web", "accessibilite.csv"));

/** What the statement says of the audit, from its `grid`. */
export function auditValues(grid) {
  const { met, failed, untested, unapplicable, rate, state } = audit(grid);
  // French takes the singular below 2.
  const count = (rows, one, more) => `${rows.length} ${rows.length < 2 ? one : more}`;
  const counts = `${count(met, "critère conforme", "critères conformes")} sur ` +
    `${count([...met, ...failed], "applicable vérifié", "applicables vérifiés")}\u00a0; ` +
    `${count(unapplicable, "critère ne s’applique", "critères ne s’appliquent")} pas à l’application` +
    (untested.length ? `\u00a0; ${count(untested, "n’a pas été vérifié", "n’ont pas été vérifiés")} (${criteria(untested)})` : "");
  const failures = failed.length === 0 ? "<p id=\"non-conformites\">L’audit n’a relevé aucune non-conformité.</p>"
    : `<ul id="non-conformites">\n${failed.map((row) => `<li>${row.criterion}\u00a0: ${escaped(row.reason)}</li>`)
      .join("\n")}\n</ul>`;
  const incomplete = untested.length === 0 ? ""
    : `<p id="incomplet">L’audit est incomplet\u00a0: les critères ${criteria(untested)}, dont la vérification ` +
      "demande un lecteur d’écran, n’ont pas été vérifiés. L’établissement peut les vérifier avec le protocole " +
      "ci-dessous, puis mettre cette déclaration à jour.</p>";
  return { DEP_RGAA_STATE: state, DEP_RGAA_RATE: `${rate}`, DEP_RGAA_COUNTS: counts, DEP_RGAA_FAILURES: failures,
    DEP_RGAA_INCOMPLETE: incomplete };
}

/** The page without scripts whose head and body `template` holds, in
 * web/document.html, with its policy in place; in the template, @DEP_GUIDE@
 * is the user guide (doc/mode-d-emploi.md) and @DEP_RGAA_…@ what the audit
 * gives. */
function documentPage(source, template, version) {
  const guide = guideHtml(fill(read(join(source, "doc", "mode-d-emploi.md")), { PROJECT_VERSION: version }));
  const own = fill(read(template), { PROJECT_VERSION: version, DEP_GUIDE: guide, ...auditValues(grid(source)) });
  if (own.toLowerCase().includes("<script")) {
    fail(`${template} holds a script`);
  }
  const part = (tag) => own.match(new RegExp(`<${tag}>\n([\\s\\S]*?)\n</${tag}>`))?.[1] ??
    fail(`${template} holds no <${tag}>`);
  const html = fill(read(join(source, "web", "document.html")), { PROJECT_VERSION: version,
    DEP_PAGE_POLICY: "@DEP_PAGE_POLICY@", DEP_PAGE_STYLE: pageStyle(source), DEP_DOCUMENT_HEAD: part("head"),
    DEP_DOCUMENT_BODY: part("body") });
  return html.replaceAll("@DEP_PAGE_POLICY@", `default-src 'none'; style-src ${inlineSources(html, "style")}; ` +
    "img-src 'self'; base-uri 'none'; form-action 'none'");
}

const escaped = (text) => text.replaceAll("&", "&amp;").replaceAll("<", "&lt;").replaceAll(">", "&gt;");

/**
 * The HTML of the user guide's text, which reads as plain text too: blocks
 * apart by blank lines, a title underlined with =, sections underlined with
 * -, paragraphs, lists of "- " or "1. " items whose lines go on indented,
 * `code` and **strong**.
 */
export function guideHtml(text) {
  const inline = (line) => escaped(line).replace(/`([^`]+)`/g, "<code>$1</code>")
    .replace(/\*\*([^*]+)\*\*/g, "<strong>$1</strong>");
  return text.trim().split(/\n\s*\n/).map((block) => {
    const lines = block.split("\n");
    if (lines.length === 2 && /^(=+|-+)$/.test(lines[1])) {
      const tag = lines[1][0] === "=" ? "h1" : "h2";
      return `<${tag}>${inline(lines[0])}</${tag}>`;
    }
    const item = lines[0].match(/^(?:(- )|\d+\. )/);
    if (!item) {
      return `<p>${inline(lines.join(" "))}</p>`;
    }
    const [tag, marker] = item[1] ? ["ul", "- "] : ["ol", "\\d+\\. "];
    const items = block.split(new RegExp(`\\n(?=${marker})`))
      .map((entry) => `<li>${inline(entry.replace(new RegExp(`^${marker}`), "").replace(/\n\s+/g, " "))}</li>`);
    return `<${tag}>\n${items.join("\n")}\n</${tag}>`;
  }).join("\n");
}

/** The consultation's page, the single file or, with `app`, the app's index.html. */
function consultationPage(source, moduleScript, moduleWasm, version, app) {
  const web = (name) => join(source, "web", name);
  const scripts = {
    DEP_PROGRAM_SCRIPT: uncommented(web("page_program.js")),
    DEP_KEYS_SCRIPT: uncommented(web("page_keys.js")),
    DEP_MODULE_SCRIPT: stripped(moduleScript),
    DEP_PAGE_SCRIPT: uncommented(web("page.js")),
  };
  let appHead = "";
  let appStatus = "";
  // The app's requests: the worker fetches the app's files under the same policy.
  let appSources = "";
  if (app) {
    scripts.DEP_APP_SCRIPT = uncommented(web("page_app.js"));
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

  // The conformity the statement declares, from the audit's grid, as the
  // page's footer says it; the single file links to no other file, so it says
  // where the statement is.
  const conformity = audit(grid(source)).state;
  const documents = app ? "<a href=\"mode-d-emploi.html\">Mode d’emploi</a> " +
      `<a href="accessibilite.html">Accessibilité\u00a0: ${conformity}</a>`
    : `Accessibilité\u00a0: ${conformity}. Le mode d’emploi et la déclaration d’accessibilité sont les fichiers ` +
      `mode-d-emploi.html et accessibilite.html de l’application web, dans dep-${version}-app.zip.`;

  const page = fill(read(web("page.html")), {
    ...scripts,
    PROJECT_VERSION: version,
    DEP_PAGE_POLICY: "@DEP_PAGE_POLICY@", // once the page's inline texts are known
    DEP_APP_HEAD: appHead,
    DEP_APP_STATUS: appStatus,
    DEP_DOCUMENTS: documents,
    DEP_PAGE_STYLE: pageStyle(source),
    DEP_LICENSE_TEXT: escaped(stripped(join(source, "LICENSE"))),
    DEP_NOTICES_TEXT: escaped(stripped(web("notices.txt"))),
    DEP_MODULE_BASE64: readFileSync(moduleWasm).toString("base64"),
  });
  return page.replaceAll("@DEP_PAGE_POLICY@", `default-src 'none'; script-src ${inlineSources(page, "script")} ` +
    `'wasm-unsafe-eval'; style-src ${inlineSources(page, "style")}${appSources}; base-uri 'none'; form-action 'none'`);
}

/**
 * Writes the service worker of the app's folder `folder` at `version` from
 * web/service_worker.js: the SHA-256 of each file it keeps, and a hash of
 * them all that names its cache, so that any change to a kept file makes
 * another worker, which browsers install as a new version. With `withdrawn`,
 * the worker of the app's withdrawal, which keeps nothing.
 */
export function writeWorker(source, folder, version, { withdrawn = false } = {}) {
  const files = withdrawn ? [] : KEPT_FILES;
  const sums = Object.fromEntries(files.map((file) => [file, sha256(readFileSync(join(folder, file)), "hex")]));
  const worker = fill(read(join(source, "web", "service_worker.js")), {
    DEP_APP_WITHDRAWN: `${withdrawn}`,
    PROJECT_VERSION: version,
    DEP_APP_HASH: sha256(files.map((file) => `${sums[file]}  ${file}\n`).join(""), "hex").slice(0, 16),
    DEP_APP_FILES: JSON.stringify(sums, null, 2),
    DEP_STATEMENT_OFFLINE: JSON.stringify(documentPage(source, join(source, "web", "statement_offline.html"), version)),
  });
  writeFileSync(join(folder, "service-worker.js"), worker);
}

function main(argv) {
  const [source, moduleScript, moduleWasm, version, output, mode, template, ...rest] = argv;
  const modes = [undefined, "--app", "--document", "--worker", "--withdrawn"];
  if (!output || !modes.includes(mode) || (mode === "--document") !== (template !== undefined) || rest.length > 0) {
    fail("usage: node assemble_page.mjs SOURCE_DIR MODULE_SCRIPT MODULE_WASM VERSION OUTPUT " +
      "[--app | --document TEMPLATE | --worker | --withdrawn]");
  }
  if (mode === "--worker" || mode === "--withdrawn") {
    if (!output.endsWith("service-worker.js")) {
      fail(`the worker is written as service-worker.js, not ${output}`);
    }
    writeWorker(source, dirname(output), version, { withdrawn: mode === "--withdrawn" });
    return;
  }
  const page = mode === "--document" ? documentPage(source, template, version)
    : consultationPage(source, moduleScript, moduleWasm, version, mode === "--app");
  writeFileSync(output, `\uFEFF${page}`);
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  try {
    main(process.argv.slice(2));
  } catch (error) {
    console.error(error.message);
    process.exit(1);
  }
}
