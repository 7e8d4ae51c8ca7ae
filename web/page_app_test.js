"use strict";
// The app's line on whether it works offline, for each thing that can stop it.
const assert = require("node:assert/strict");
const { offlineStatus } = require("./page_app.js");

const NOT = "Pas disponible hors ligne\u00a0: ";
const GONE = "les fichiers de l’application ne sont plus gardés sur cet appareil";
// Whether the address allows workers, whether the browser has them, what
// this copy's worker said, and the line.
const cases = [
  [false, false, undefined, `${NOT}l’adresse n’est pas en HTTPS`],
  [false, true, { kept: true }, `${NOT}l’adresse n’est pas en HTTPS`],
  [true, false, undefined, `${NOT}ce navigateur ne garde pas d’application`],
  [true, true, undefined, ""],
  [true, true, { kept: false }, ""],
  [true, true, { kept: true }, "Disponible hors ligne sur cet appareil."],
  // The worker in use no longer holds its build: evicted, or changed on the device.
  [true, true, { kept: false, why: GONE }, `${NOT}${GONE}`],
  [true, true, { kept: true, why: null }, "Disponible hors ligne sur cet appareil."],
  [true, true, { refused: "manifest.webmanifest : 404" }, `${NOT}manifest.webmanifest : 404`],
  // A new version refused while the device keeps the one it runs, or once it has been kept.
  [true, true, { kept: true, refused: "index.html : 404" },
    "Disponible hors ligne sur cet appareil. Sa nouvelle version n’a pas pu être gardée\u00a0: index.html : 404"],
  [true, true, { kept: false, refused: "index.html : 404" }, `${NOT}index.html : 404`],
  [true, true, { kept: true, refused: null }, "Disponible hors ligne sur cet appareil."],
];

for (const [secure, workers, word, line] of cases) {
  assert.equal(offlineStatus(secure, workers, word), line, JSON.stringify([secure, workers, word]));
}
console.log(`${cases.length} situations told as expected`);
