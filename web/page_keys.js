"use strict";
// Which key presses end the wait after the report, and what they show: the
// page's counterpart of a terminal's single-key read with echo.

/** Keys that only modify another key: pressed alone, they are no key press. */
const MODIFIER_KEYS = new Set([
  "Alt", "AltGraph", "CapsLock", "Control", "Fn", "FnLock", "Hyper", "Meta",
  "NumLock", "OS", "ScrollLock", "Shift", "Super", "Symbol", "SymbolLock",
]);

/**
 * What a keydown event does to the wait: null when the wait does not take it
 * (a key held down repeating, a modifier alone, a dead key or an input method
 * still composing, a function key or a shortcut that belongs to the browser,
 * Tab, which moves the focus to the page's other controls), otherwise the
 * text the key shows: its character when it types one, "" when it does not
 * (Enter, Esc, an arrow).
 */
function keyWaitEcho(event) {
  const key = event.key;
  if (event.repeat || event.isComposing || key === "Dead" || key === "Process" || key === "Tab" ||
      MODIFIER_KEYS.has(key) || /^F\d+$/.test(key)) {
    return null;
  }
  // Ctrl with Alt is AltGr on Windows, which types characters.
  if (event.metaKey || (event.ctrlKey && !event.altKey)) {
    return null;
  }
  return [...key].length === 1 ? key : "";
}

if (typeof module === "object") {
  module.exports = { keyWaitEcho };
}
