#include <cstdio>
#include <cstring>

#include "consultation/dialogue.hpp"
#include "terminal/stdio_console.hpp"

int main() {
  dep::StdioConsole console;
  dep::run_consultation(console);
  const auto failure = console.finish();
  if (!failure) {
    return 0;
  }
  (void)std::fprintf(stderr, "dep: %s: %s\n",
                     failure->stream == dep::ConsoleFailure::Stream::Output
                         ? "impossible d ecrire la sortie standard"
                         : "impossible de lire l entree standard",
                     std::strerror(failure->error));
  return 1;
}
