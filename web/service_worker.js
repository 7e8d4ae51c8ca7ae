"use strict";
// The app's service worker. It keeps every file of this build of the app in
// one cache and answers for them from it, so that the app works without a
// network once it has been opened. Any change to the app's files comes with a
// new worker, since the cache's name holds a hash of them: it keeps its own
// files, takes over and deletes the caches it replaces.
//
// It knows the SHA-256 of each file of its build, and keeps or serves no
// other bytes: not a folder the server is halfway through replacing, not a
// sign-on portal's page, not what another page of the origin wrote into the
// cache. Each time the app is opened with a network, it takes the server's
// answers again and keeps those whose bytes are still its build's, with
// their headers as the server sends them now.
//
// A browser keeps one cache storage for a whole server (an origin), which
// several copies of the app may share, each in a folder of its own (one for
// each department, a new version on trial, side by side or one inside the
// other): a cache is named by its files and the folder of its copy, a copy
// deletes only its own older caches, and a worker answers only for its own
// copy's files. Whatever else a page asks for is left to the network.
//
// The worker of the app's withdrawal, put on the server in place of the
// app's folder, keeps nothing: it deletes this copy's caches, ends its own
// registration, and opens its pages again from the server, which now says
// that the app was withdrawn.
const WITHDRAWN = @DEP_APP_WITHDRAWN@;
const FOLDER = self.registration.scope;
const CACHE = `dep-@PROJECT_VERSION@-@DEP_APP_HASH@ ${FOLDER}`;
/** Each file this worker keeps, and the SHA-256 of its bytes in this build. */
const SUMS = @DEP_APP_FILES@;
const FILES = Object.keys(SUMS);
const KEPT = new Map(FILES.map((file) => [new URL(file, FOLDER).href, file]));
const PAGE = new URL("index.html", FOLDER).href;
/** The accessibility statement, which the hospital edits on its server: it
 * is read online, and offline the worker says so in its place. */
const STATEMENT = new URL("accessibilite.html", FOLDER).href;
const STATEMENT_OFFLINE = @DEP_STATEMENT_OFFLINE@;
/** The kinds of content each kind of file may come as. */
const TYPES = {
  html: ["text/html"],
  webmanifest: ["application/manifest+json", "application/json"],
  svg: ["image/svg+xml"],
  png: ["image/png"],
};
/** Why this device does not keep the app, in French. */
const GONE = "les fichiers de l’application ne sont plus gardés sur cet appareil";
const CHANGED = "le fichier gardé sur cet appareil a été modifié";

const hex = async (bytes) => [...new Uint8Array(await crypto.subtle.digest("SHA-256", bytes))]
  .map((byte) => byte.toString(16).padStart(2, "0")).join("");

/** The `answer` for `file` as a new answer with the same headers, when its
 * bytes are this build's; null otherwise. */
async function ofThisBuild(file, answer) {
  const bytes = await answer.arrayBuffer();
  return (await hex(bytes)) === SUMS[file] ? new Response(bytes, answer) : null;
}

/** The server's own answer for `file`, never the browser's HTTP cache, nor a
 * "not modified" of a server whose validators (a file's time and size) are
 * the same for two builds of one version; null when the server does not
 * answer. The answer replaces what the HTTP cache holds. */
const fromServer = (file) => fetch(new Request(file, { cache: "reload" })).catch(() => null);

/**
 * This build's `file` out of the server's `answer` ({ kept }), or why the
 * answer is not it, in French ({ why }): the server refused it, sent the
 * browser elsewhere, or gave another kind of content or other bytes.
 */
async function check(file, answer) {
  if (answer === null) {
    return { why: "pas de réponse du serveur" };
  }
  if (!answer.ok) {
    return { why: `${answer.status}` };
  }
  if (answer.redirected || answer.type !== "basic") {
    return { why: "le serveur a renvoyé vers une autre adresse (un portail de connexion\u00a0?)" };
  }
  const type = (answer.headers.get("Content-Type") ?? "").split(";")[0].trim().toLowerCase();
  const expected = TYPES[file.split(".").pop()];
  if (!expected.includes(type)) {
    return { why: `le serveur a répondu par ${type || "un contenu sans type"} au lieu de ${expected[0]}` };
  }
  const kept = await ofThisBuild(file, answer);
  return kept ? { kept } : { why: "le serveur a envoyé une autre version du fichier " +
    "(un dossier en cours de remplacement, ou un portail de connexion\u00a0?)" };
}

/** Says `message` to the pages of this origin, with this copy's folder. */
async function tell(message) {
  const pages = await self.clients.matchAll({ includeUncontrolled: true, type: "window" });
  for (const page of pages) {
    page.postMessage({ folder: FOLDER, ...message });
  }
}

/**
 * Keeps every file as the server gives it now. When one is not this build's,
 * keeps none and tells the pages which file and why: the server's next
 * answers, once the folder holds the whole build, install it.
 */
async function keepFiles() {
  const checked = await Promise.all(FILES.map(async (file) => check(file, await fromServer(file))));
  const refused = checked.findIndex(({ why }) => why);
  if (refused !== -1) {
    const why = `${FILES[refused]}\u00a0: ${checked[refused].why}`;
    await tell({ refused: why });
    throw new Error(`the server did not give ${why}`);
  }
  const cache = await caches.open(CACHE);
  await Promise.all(FILES.map((file, i) => cache.put(file, checked[i].kept)));
}

/** This build's `file` as this device keeps it, or null. */
async function keptFile(file) {
  const answer = await caches.match(file, { cacheName: CACHE });
  return answer ? ofThisBuild(file, answer) : null;
}

/** Whether this device keeps every file of this build ({ kept }), and when
 * not, why ({ why }). */
async function keptState() {
  const kept = await Promise.all(FILES.map(async (file) => [file, await caches.match(file, { cacheName: CACHE })]));
  if (kept.every(([, answer]) => answer === undefined)) {
    return { kept: false, why: GONE };
  }
  for (const [file, answer] of kept) {
    if (answer === undefined) {
      return { kept: false, why: `${file}\u00a0: ${GONE}` };
    }
    if (await ofThisBuild(file, answer) === null) {
      return { kept: false, why: `${file}\u00a0: ${CHANGED}` };
    }
  }
  return { kept: true, why: null };
}

/**
 * With a network, keeps the server's answers again where their bytes are
 * still this build's, so that the headers the server sends now (a framing
 * policy changed by IT) reach this device, and what the browser evicted or
 * another page changed comes back; other bytes are never kept this way.
 * Then tells the pages what this device keeps.
 */
async function refresh() {
  const answers = await Promise.all(FILES.map(async (file) => [file, (await check(file, await fromServer(file))).kept]));
  if (answers.some(([, kept]) => kept)) {
    const cache = await caches.open(CACHE);
    await Promise.all(answers.map(([file, kept]) => kept && cache.put(file, kept)));
  }
  await tell(await keptState());
}

self.addEventListener("install", (event) => {
  event.waitUntil((WITHDRAWN ? Promise.resolve() : keepFiles()).then(() => self.skipWaiting()));
});

/** Deletes this copy's caches but the one this worker keeps. */
const deleteOlderBuilds = async () => Promise.all((await caches.keys()).map(async (name) => {
  if (name !== CACHE && name.startsWith("dep-") && (name.endsWith(` ${FOLDER}`) ||
      // From before caches were named by their folder too ("dep-<version>").
      (!name.includes(" ") && (await (await caches.open(name)).match(PAGE)) !== undefined))) {
    await caches.delete(name);
  }
}));

/** Ends the copy on this device: its caches, its registration; its pages,
 * opened again, come from the server. */
async function withdraw() {
  await self.clients.claim();
  await deleteOlderBuilds();
  await self.registration.unregister();
  const pages = await self.clients.matchAll({ type: "window" });
  await Promise.all(pages.map((page) => page.navigate(page.url).catch(() => null)));
}

self.addEventListener("activate", (event) => {
  event.waitUntil(WITHDRAWN ? withdraw() : deleteOlderBuilds()
    .then(() => self.clients.claim())
    // The worker in use now: no refusal stands.
    .then(async () => tell({ ...await keptState(), refused: null })));
});

// A page of the app, once it is on the screen, asks whether this copy works
// offline: with a network, what is kept is refreshed first, after the page
// has loaded rather than while it loads.
self.addEventListener("message", (event) => {
  if (event.data === "state") {
    event.waitUntil(refresh());
  }
});

/** The answer for the kept `file`: this device's copy when its bytes are this
 * build's, the server's otherwise (offline, the browser's own failure). */
const answerFor = async (file, request) => (await keptFile(file)) ?? fetch(request);

const statementOffline = () => new Response(STATEMENT_OFFLINE,
  { headers: { "Content-Type": "text/html;charset=utf-8" } });

// A page opened at the folder itself is the kept index.html, and a kept
// page is the kept one, whatever its query.
self.addEventListener("fetch", (event) => {
  const request = event.request;
  if (WITHDRAWN || request.method !== "GET") {
    return;
  }
  const url = new URL(request.url);
  const address = `${url.origin}${url.pathname}`;
  if (request.mode !== "navigate") {
    if (KEPT.has(url.href)) {
      event.respondWith(answerFor(KEPT.get(url.href), request));
    }
    return;
  }
  const page = address === FOLDER ? "index.html" : KEPT.get(address);
  if (address === STATEMENT) {
    event.respondWith(fetch(request).catch(statementOffline));
  } else if (page?.endsWith(".html")) {
    event.respondWith(answerFor(page, request));
    // The browser's own check for a new worker, which follows the page,
    // revalidates its HTTP cache, which a server may answer "not modified"
    // for another build's script: the script is taken into it again.
    event.waitUntil(fromServer("service-worker.js"));
  }
});
