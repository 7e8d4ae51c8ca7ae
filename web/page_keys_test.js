"use strict";
// The page's key wait, key by key: whether a key press ends it and what it shows.
const assert = require("node:assert/strict");
const { keyWaitEcho } = require("./page_keys.js");

function press(key, flags = {}) {
  return { key, repeat: false, isComposing: false, ctrlKey: false, altKey: false, metaKey: false, ...flags };
}

// A key press, and what it shows after the report (null: the wait goes on).
const cases = [
  [press("k"), "k"],
  [press("é"), "é"],
  [press(" "), " "],
  [press("@", { ctrlKey: true, altKey: true }), "@"],
  [press("Enter"), ""],
  [press("Escape"), ""],
  [press("ArrowUp"), ""],
  [press("Unidentified"), ""],
  [press("Shift", { shiftKey: true }), null],
  [press("Dead"), null],
  [press("e", { isComposing: true }), null],
  [press("k", { repeat: true }), null],
  [press("F5"), null],
  [press("p", { ctrlKey: true }), null],
  [press("c", { metaKey: true }), null],
  // Tab and Shift+Tab move between Terminer and Copier le compte rendu.
  [press("Tab"), null],
  [press("Tab", { shiftKey: true }), null],
];

for (const [event, shown] of cases) {
  assert.equal(keyWaitEcho(event), shown, JSON.stringify(event));
}
console.log(`${cases.length} key presses judged as expected`);
