#include "terminal/stdio_console.hpp"

#include <cerrno>
#include <cstdio>

#include "terminal/key_wait.hpp"

namespace dep {
namespace {

/// errno after a failed call, or EIO when the call failed without saying why.
int last_error() { return errno != 0 ? errno : EIO; }

}  // namespace

std::optional<ConsoleFailure> StdioConsole::finish() {
  flush();
  if (output_error_) {
    return ConsoleFailure{ConsoleFailure::Stream::Output, *output_error_};
  }
  if (input_error_) {
    return ConsoleFailure{ConsoleFailure::Stream::Input, *input_error_};
  }
  return std::nullopt;
}

void StdioConsole::put(std::string_view text) {
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) {
    note_output_failure(last_error());
  }
}

void StdioConsole::flush() {
  errno = 0;
  if (std::fflush(stdout) != 0) {
    note_output_failure(last_error());
  }
}

int StdioConsole::get_byte(Reading /*reading*/) {
  if (input_error_) {
    return END_OF_INPUT;
  }
  errno = 0;
  const int byte = std::getchar();
  if (byte != EOF) {
    return byte;
  }
  if (std::ferror(stdin) != 0) {
    input_error_ = last_error();
  }
  return END_OF_INPUT;
}

void StdioConsole::await_key() {
  if (const int error = wait_for_key_press(); error != 0) {
    note_output_failure(error);
  }
}

void StdioConsole::note_output_failure(int error) {
  if (!output_error_) {
    output_error_ = error;
  }
}

}  // namespace dep
