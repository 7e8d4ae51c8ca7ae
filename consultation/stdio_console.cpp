#include "consultation/stdio_console.hpp"

#include <unistd.h>

#include <cstdio>

#include "consultation/key_press.hpp"

namespace dep {

void StdioConsole::put(std::string_view text) {
  // A console that cannot be written to has no one to tell: the dialogue
  // goes on, as it never reports an error.
  (void)std::fwrite(text.data(), 1, text.size(), stdout);
}

void StdioConsole::flush() { (void)std::fflush(stdout); }

int StdioConsole::get_byte() {
  const int byte = std::getchar();
  return byte == EOF ? kEndOfInput : byte;
}

void StdioConsole::await_key() { wait_for_key_press(STDIN_FILENO, stdout); }

}  // namespace dep
