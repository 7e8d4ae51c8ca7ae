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
const FOLDER = self.registration.scope;
const CACHE = `dep-@PROJECT_VERSION@-@DEP_APP_HASH@ ${FOLDER}`;
const FILES = [@DEP_APP_FILE_LIST@];
const KEPT = new Set(FILES.map((file) => new URL(file, FOLDER).href));
const PAGE = new URL("index.html", FOLDER).href;

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
 * Keeps every file, fetched from the server itself rather than from the
 * browser's HTTP cache, which may hold an older build's. When the server
 * refuses one, or does not answer, keeps none and tells the pages which
 * file and what the server answered.
 */
async function keepFiles() {
  const answers = await Promise.all(FILES.map((file) =>
    fetch(new Request(file, { cache: "reload" })).catch(() => null)));
  const refused = answers.findIndex((answer) => !answer?.ok);
  if (refused !== -1) {
    const answer = answers[refused];
    const refusal = `${FILES[refused]} : ${answer ? answer.status : "pas de réponse du serveur"}`;
    await tell({ refused: refusal });
    throw new Error(`the server did not give ${refusal}`);
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
  event.waitUntil(keepFiles().then(() => self.skipWaiting()));
});

self.addEventListener("activate", (event) => {
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names.map(async (name) => {
      if (await isOlderBuild(name)) {
        await caches.delete(name);
      }
    })))
    .then(() => self.clients.claim())
    .then(async () => tell({ kept: await keepsEverything() })));
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
  if (request.method !== "GET") {
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
