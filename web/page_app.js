"use strict";
// What the page does as the web app, and only there: its service worker
// keeps the app's files on the device, and a line says whether the app works
// offline on this device, and why not when it cannot.

/**
 * What the line says: `secure` is whether the address allows service
 * workers (HTTPS, or the device itself), `workers` whether the browser has
 * them, and `word` what this copy's workers said: `kept`, whether the
 * worker in use holds every file of its build, and `why` not; `refused`,
 * why a new worker could not keep a file (a new version the server refused,
 * or a first visit's). Empty until there is something to say.
 */
function offlineStatus(secure, workers, word) {
  const not = "Pas disponible hors ligne\u00a0: ";
  if (!secure) {
    return `${not}l’adresse n’est pas en HTTPS`;
  }
  if (!workers) {
    return `${not}ce navigateur ne garde pas d’application`;
  }
  const kept = "Disponible hors ligne sur cet appareil.";
  if (word?.refused) {
    return word.kept ? `${kept} Sa nouvelle version n’a pas pu être gardée\u00a0: ${word.refused}` : `${not}${word.refused}`;
  }
  if (word?.kept) {
    return kept;
  }
  return word?.why ? `${not}${word.why}` : "";
}

if (typeof module === "object") {
  module.exports = { offlineStatus };
} else {
  addEventListener("DOMContentLoaded", () => {
    const line = document.getElementById("offline");
    // What this copy's workers said, the latest of each.
    let heard = {};
    const say = (word) => {
      heard = { ...heard, ...word };
      line.textContent = offlineStatus(isSecureContext, "serviceWorker" in navigator, heard);
    };
    if (!isSecureContext || !("serviceWorker" in navigator)) {
      say();
      return;
    }
    // Only this copy's worker speaks for it: a copy in a folder above this
    // one has a worker of its own.
    const folder = new URL(".", location.href).href;
    navigator.serviceWorker.addEventListener("message", (event) => {
      if (event.data?.folder === folder) {
        say(event.data);
      }
    });
    navigator.serviceWorker.startMessages();
    // Once the page is on the screen, the worker keeps the app's files; one
    // that keeps them already says whether it still has them all.
    addEventListener("load", async () => {
      try {
        const registration = await navigator.serviceWorker.register("service-worker.js");
        registration.active?.postMessage("state");
      } catch (error) {
        say({ refused: `service-worker.js\u00a0: ${error.message}` });
      }
    });
  });
}
