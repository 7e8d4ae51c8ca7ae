// Checks the console's integer reads against an independent reading of the
// same rules: blanks skipped, an optional sign consumed, digits taken with
// saturation, the first other byte pushed back for the next read.

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>

#include "consultation/memory_console.hpp"

namespace {

void require(bool holds, const char* property) {
  if (!holds) {
    (void)std::fprintf(stderr, "broken property: %s\n", property);
    std::abort();
  }
}

struct Expected {
  bool read = false;
  std::int32_t value = 0;
  std::size_t next = 0;  // where the following read starts
};

Expected expected_read(std::string_view text, std::size_t at) {
  std::size_t i = at;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])) != 0) {
    ++i;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  const std::size_t first_digit = i;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) != 0) {
    ++i;
  }
  if (i == first_digit) {
    return {false, 0, i};
  }
  std::string digits(text.substr(first_digit, i - first_digit));
  digits.erase(0, digits.find_first_not_of('0'));
  constexpr std::int64_t lowest = std::numeric_limits<std::int32_t>::min();
  constexpr std::int64_t highest = std::numeric_limits<std::int32_t>::max();
  std::int64_t value = 0;
  if (digits.size() > 10) {
    value = negative ? lowest : highest;
  } else {
    value = digits.empty() ? 0 : std::strtoll(digits.c_str(), nullptr, 10);
    value = negative ? -value : value;
    value = value < lowest ? lowest : (value > highest ? highest : value);
  }
  return {true, static_cast<std::int32_t>(value), i};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast): libFuzzer hands out bytes
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  dep::MemoryConsole console(text);
  std::size_t position = 0;
  std::int32_t value = 12345;
  for (;;) {
    const std::int32_t before = value;
    const bool read = console.read_int(value);
    const Expected expected = expected_read(text, position);
    require(read == expected.read, "a number is read exactly when digits follow");
    require(value == (read ? expected.value : before), "the value read, or the value kept");
    position = expected.next;
    // The next byte is the first one the integer read did not take.
    const int next = console.read_char();
    if (position == text.size()) {
      require(next == dep::Console::END_OF_INPUT, "nothing is left after the end");
      break;
    }
    require(next == static_cast<unsigned char>(text[position]), "the stopping byte stays");
    ++position;
  }
  return 0;
}
