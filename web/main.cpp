#include <emscripten.h>

#include "consultation/dialogue.hpp"
#include "web/browser_console.hpp"

/// One consultation on the page, from the first question to the end of the
/// run; the page starts it again for a new consultation.
extern "C" EMSCRIPTEN_KEEPALIVE void dep_run_consultation() {
  dep::BrowserConsole console;
  dep::run_consultation(console);
}
