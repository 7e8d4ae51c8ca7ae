"use strict";
// The app's service worker. It keeps every file of this build of the app in
// one cache and answers for them from it, so that the app works without a
// network once it has been opened. Any change to the app's files comes with a
// new worker, since the cache's name holds a hash of them: it keeps its own
// files, takes over and deletes the caches it replaces.
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
const FILES = [@DEP_APP_FILE_LIST@];
const KEPT = new Set(FILES.map((file) => new URL(file, FOLDER).href));
const PAGE = new URL("index.html", FOLDER).href;
/** The kinds of content each kind of file may come as; anything else, a
 * sign-on portal's login page for one, is not the app's file. */
const TYPES = {
  html: ["text/html"],
  webmanifest: ["application/manifest+json", "application/json"],
  svg: ["image/svg+xml"],
  png: ["image/png"],
};

/**
 * Whether the cache `name` holds an older build of this copy: named for this
 * folder, or, from before caches were named by their folder too
 * ("dep-<version>"), holding this folder's index.html.
 */
async function isOlderBuild(name) {
  if (name === CACHE || !name.startsWith("dep-")) {
    return false;
  }
  if (name.endsWith(` ${FOLDER}`)) {
    return true;
  }
  return !name.includes(" ") && (await (await caches.open(name)).match(PAGE)) !== undefined;
}

/** Says `message` to the pages of this origin, with this copy's folder. */
async function tell(message) {
  const pages = await self.clients.matchAll({ includeUncontrolled: true, type: "window" });
  for (const page of pages) {
    page.postMessage({ folder: FOLDER, ...message });
  }
}

/**
 * Why the server's `answer` for `file` is not the file, in French, or null
 * when it is: only a direct answer of the app's own address, with the
 * file's kind of content, is.
 */
function refusal(file, answer) {
  if (answer === null) {
    return "pas de réponse du serveur";
  }
  if (!answer.ok) {
    return `${answer.status}`;
  }
  if (answer.redirected || answer.type !== "basic") {
    return "le serveur a renvoyé vers une autre adresse (un portail de connexion ?)";
  }
  const type = (answer.headers.get("Content-Type") ?? "").split(";")[0].trim().toLowerCase();
  const expected = TYPES[file.split(".").pop()];
  return expected.includes(type) ? null : `le serveur a donné ${type || "un contenu sans type"} au lieu de ${expected[0]}`;
}

/**
 * Keeps every file, fetched from the server itself rather than from the
 * browser's HTTP cache, which may hold an older build's. When the server
 * refuses one, does not answer, or answers with something else, keeps none
 * and tells the pages which file and why.
 */
async function keepFiles() {
  const answers = await Promise.all(FILES.map((file) =>
    fetch(new Request(file, { cache: "reload" })).catch(() => null)));
  const reasons = FILES.map((file, i) => refusal(file, answers[i]));
  const refused = reasons.findIndex((reason) => reason !== null);
  if (refused !== -1) {
    const why = `${FILES[refused]} : ${reasons[refused]}`;
    await tell({ refused: why });
    throw new Error(`the server did not give ${why}`);
  }
  const cache = await caches.open(CACHE);
  await Promise.all(FILES.map((file, i) => cache.put(file, answers[i])));
}

/** Whether every file is in the cache. */
async function keepsEverything() {
  if (!await caches.has(CACHE)) {
    return false;
  }
  const cache = await caches.open(CACHE);
  const kept = await Promise.all(FILES.map((file) => cache.match(file)));
  return kept.every((answer) => answer !== undefined);
}

self.addEventListener("install", (event) => {
  event.waitUntil((WITHDRAWN ? Promise.resolve() : keepFiles()).then(() => self.skipWaiting()));
});

/** Deletes this copy's caches but the one this worker keeps. */
const deleteOlderBuilds = async () => Promise.all((await caches.keys()).map(async (name) => {
  if (await isOlderBuild(name)) {
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
    .then(async () => tell({ kept: await keepsEverything(), refused: null })));
});

// A page asks whether this copy works offline.
self.addEventListener("message", (event) => {
  if (event.data === "kept?") {
    event.waitUntil(keepsEverything().then((kept) => event.source.postMessage({ folder: FOLDER, kept })));
  }
});

// The kept files come from the cache: a page opened at the folder itself or
// at its index.html, whatever its query, is the kept index.html.
self.addEventListener("fetch", (event) => {
  const request = event.request;
  if (WITHDRAWN || request.method !== "GET") {
    return;
  }
  const url = new URL(request.url);
  let file;
  if (request.mode === "navigate") {
    const address = `${url.origin}${url.pathname}`;
    file = address === FOLDER || address === PAGE ? PAGE : null;
  } else {
    file = KEPT.has(url.href) ? url.href : null;
  }
  if (file !== null) {
    event.respondWith(caches.match(file, { cacheName: CACHE }).then((answer) => answer || fetch(request)));
  }
});
