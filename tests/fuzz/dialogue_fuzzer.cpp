// Feeds arbitrary bytes to the real dialogue as the clinician's answers.
// Beyond the sanitizers' own checks, a run reads no byte past its input and
// waits for at most one key, once everything else is written.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "consultation/dialogue.hpp"
#include "consultation/memory_console.hpp"

namespace {

void require(bool holds, const char* property) {
  if (!holds) {
    (void)std::fprintf(stderr, "broken property: %s\n", property);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast): libFuzzer hands out bytes
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  dep::MemoryConsole console(input);
  dep::run_consultation(console);
  require(console.consumed() <= input.size(), "no byte read past the input");
  require(console.key_waits() <= 1, "at most one key wait");
  require(console.key_waits() == 0 || console.output_size_at_key_wait() == console.output().size(),
          "the key wait comes last");
  return 0;
}
