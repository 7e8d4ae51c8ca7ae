"use strict";
// The app's service worker. It keeps every file of this version of the app in
// one cache and answers from it, so that the app works without a network once
// it has been opened. A new version comes with a new worker: it caches its own
// files, takes over and deletes the caches of the versions before it.
//
// A browser keeps one cache storage for a whole server (an origin), which
// several copies of the app may share, each in a folder of its own (one for
// each department, a new version on trial): a cache is named by the version
// and the folder of its copy, and a copy deletes only its own older ones.
const FOLDER = self.registration.scope;
const CACHE = `dep-@PROJECT_VERSION@ ${FOLDER}`;
const FILES = [@DEP_APP_FILE_LIST@];

/**
 * Whether the cache `name` holds an older version of this copy: named for
 * this folder, or, from before caches were named by their folder too
 * ("dep-<version>"), holding this folder's index.html.
 */
async function isOlderVersion(name) {
  if (name === CACHE || !name.startsWith("dep-")) {
    return false;
  }
  if (name.endsWith(` ${FOLDER}`)) {
    return true;
  }
  const page = new URL("index.html", FOLDER).href;
  return !name.includes(" ") && (await (await caches.open(name)).match(page)) !== undefined;
}

self.addEventListener("install", (event) => {
  // From the server itself, not from the browser's HTTP cache, which may
  // still hold the previous version's files.
  const requests = FILES.map((file) => new Request(file, { cache: "reload" }));
  event.waitUntil(caches.open(CACHE)
    .then((cache) => cache.addAll(requests))
    .then(() => self.skipWaiting()));
});

self.addEventListener("activate", (event) => {
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names.map(async (name) => {
      if (await isOlderVersion(name)) {
        await caches.delete(name);
      }
    })))
    .then(() => self.clients.claim()));
});

// Files of the app come from the cache: a page opened within the app's
// folder, the folder itself included, is its index.html. Anything else of
// this origin is fetched; other origins are left to the browser.
self.addEventListener("fetch", (event) => {
  const request = event.request;
  if (request.method !== "GET" || new URL(request.url).origin !== self.location.origin) {
    return;
  }
  const file = request.mode === "navigate" ? "index.html" : request;
  event.respondWith(caches.match(file, { cacheName: CACHE })
    .then((answer) => answer || fetch(request)));
});
