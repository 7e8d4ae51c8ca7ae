#include "web/browser_console.hpp"

#include <emscripten.h>

#include <cstddef>

// The page's side of the console, Module.page in page.js.
EM_JS(void, page_write, (const char* text, std::size_t size),
      { Module.page.write(HEAPU8.subarray(text, text + size)); });
EM_JS(int, page_next_byte, (), { return Module.page.nextByte(); });
EM_ASYNC_JS(void, page_await_line, (bool number), { await Module.page.awaitLine(number); });
EM_ASYNC_JS(void, page_await_key, (), { await Module.page.awaitKey(); });

namespace dep {
namespace {

/// What page_next_byte returns once the line sent last is used up.
constexpr int kLineUsedUp = -1;

}  // namespace

void BrowserConsole::put(std::string_view text) { page_write(text.data(), text.size()); }

int BrowserConsole::get_byte(Reading reading) {
  int byte = page_next_byte();
  while (byte == kLineUsedUp) {
    page_await_line(reading == Reading::Number);
    byte = page_next_byte();
  }
  return byte;
}

void BrowserConsole::await_key() { page_await_key(); }

}  // namespace dep
