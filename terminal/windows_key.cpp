#include "terminal/windows_key.hpp"

#include <cstdint>

namespace dep {
namespace {

// Windows' virtual-key codes of the keys that only modify or lock others.
constexpr std::uint16_t kShift = 0x10;
constexpr std::uint16_t kControl = 0x11;
constexpr std::uint16_t kAlt = 0x12;
constexpr std::uint16_t kCapsLock = 0x14;
constexpr std::uint16_t kLeftWindows = 0x5b;
constexpr std::uint16_t kRightWindows = 0x5c;
constexpr std::uint16_t kNumLock = 0x90;
constexpr std::uint16_t kScrollLock = 0x91;
constexpr std::uint16_t kLeftShift = 0xa0;  // … left and right Shift, Ctrl, Alt
constexpr std::uint16_t kRightAlt = 0xa5;

bool is_modifier(std::uint16_t key) {
  return key == kShift || key == kControl || key == kAlt || key == kCapsLock ||
         key == kLeftWindows || key == kRightWindows || key == kNumLock || key == kScrollLock ||
         (key >= kLeftShift && key <= kRightAlt);
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
