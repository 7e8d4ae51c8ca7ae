"use strict";
// The app's service worker. It keeps every file of this version of the app in
// one cache and answers from it, so that the app works without a network once
// it has been opened. A new version comes with a new worker: it caches its own
// files, takes over and deletes the caches of the versions before it.
const CACHE = "dep-@PROJECT_VERSION@";
const FILES = [@DEP_APP_FILE_LIST@];

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
    .then((names) => Promise.all(names
      .filter((name) => name.startsWith("dep-") && name !== CACHE)
      .map((name) => caches.delete(name))))
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
