#include "consultation/dialogue.hpp"
#include "consultation/stdio_console.hpp"

int main() {
  dep::StdioConsole console;
  dep::run_consultation(console);
  return 0;
}
