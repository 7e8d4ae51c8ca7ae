#include "consultation/console.hpp"

#include <cstdint>
#include <limits>

namespace dep {
namespace {

// The blanks that "%d" skips in the C locale.
constexpr bool is_blank(int byte) {
  return byte == ' ' || byte == '\t' || byte == '\n' || byte == '\v' || byte == '\f' ||
         byte == '\r';
}

constexpr bool is_digit(int byte) { return byte >= '0' && byte <= '9'; }

}  // namespace

int Console::next_byte(Reading reading) {
  if (pushed_back_ != NOTHING_PUSHED_BACK) {
    const int byte = pushed_back_;
    pushed_back_ = NOTHING_PUSHED_BACK;
    return byte;
  }
  return get_byte(reading);
}

int Console::read_char() {
  flush();
  return next_byte(Reading::Character);
}

bool Console::read_int(std::int32_t& value) {
  flush();
  int byte = next_byte(Reading::Number);
  while (is_blank(byte)) {
    byte = next_byte(Reading::Number);
  }
  const bool negative = byte == '-';
  if (byte == '-' || byte == '+') {
    byte = next_byte(Reading::Number);
  }
  if (!is_digit(byte)) {
    if (byte != END_OF_INPUT) {
      push_back(byte);
    }
    return false;
  }
  // The magnitude is held one past the largest negative value at most, so it
  // never overflows however many digits follow.
  constexpr std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  std::int64_t magnitude = 0;
  while (is_digit(byte)) {
    if (magnitude < limit) {
      magnitude = magnitude * 10 + (byte - '0');
      if (magnitude > limit) {
        magnitude = limit;
      }
    }
    byte = next_byte(Reading::Number);
  }
  if (byte != END_OF_INPUT) {
    push_back(byte);
  }
  if (negative) {
    value = static_cast<std::int32_t>(-magnitude);
  } else {
    value = static_cast<std::int32_t>(magnitude < limit ? magnitude : limit - 1);
  }
  return true;
}

void Console::wait_key() {
  flush();
  await_key();
}

}  // namespace dep
