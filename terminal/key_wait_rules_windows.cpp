#include "terminal/key_wait_rules.hpp"

#include <cstdint>

namespace dep {
namespace {

// Windows' virtual-key codes of the keys that only modify or lock others.
constexpr std::uint16_t SHIFT = 0x10;
constexpr std::uint16_t CONTROL = 0x11;
constexpr std::uint16_t ALT = 0x12;
constexpr std::uint16_t CAPS_LOCK = 0x14;
constexpr std::uint16_t LEFT_WINDOWS = 0x5b;
constexpr std::uint16_t RIGHT_WINDOWS = 0x5c;
constexpr std::uint16_t NUM_LOCK = 0x90;
constexpr std::uint16_t SCROLL_LOCK = 0x91;
constexpr std::uint16_t LEFT_SHIFT = 0xa0;  // … left and right Shift, Ctrl, Alt
constexpr std::uint16_t RIGHT_ALT = 0xa5;

bool is_modifier(std::uint16_t key) {
  return key == SHIFT || key == CONTROL || key == ALT || key == CAPS_LOCK || key == LEFT_WINDOWS ||
         key == RIGHT_WINDOWS || key == NUM_LOCK || key == SCROLL_LOCK ||
         (key >= LEFT_SHIFT && key <= RIGHT_ALT);
}

bool is_high_surrogate(char16_t unit) { return unit >= 0xd800 && unit <= 0xdbff; }
bool is_low_surrogate(char16_t unit) { return unit >= 0xdc00 && unit <= 0xdfff; }

/// A character that shows: neither a C0 or C1 control nor DEL, nor half of a
/// surrogate pair.
bool shows(char16_t unit) {
  return unit >= 0x20 && unit != 0x7f && !(unit >= 0x80 && unit <= 0x9f) &&
         !is_high_surrogate(unit) && !is_low_surrogate(unit);
}

}  // namespace

bool WindowsKeyWait::take(const WindowsKeyEvent& event) noexcept {
  if (!event.key_down || is_modifier(event.virtual_key)) {
    return false;
  }
  const char16_t unit = event.character;
  if (size_ == 1 && is_high_surrogate(units_[0])) {
    if (is_low_surrogate(unit)) {
      units_[1] = unit;
      size_ = 2;
      return true;
    }
    size_ = 0;  // half a pair: forget it, and take this key as it is
  }
  if (is_high_surrogate(unit)) {
    units_[0] = unit;
    size_ = 1;
    return false;
  }
  if (shows(unit)) {
    units_[0] = unit;
    size_ = 1;
  }
  return true;
}

}  // namespace dep
