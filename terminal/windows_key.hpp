#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace dep {

/// One key event of the Windows console, as ReadConsoleInputW reports it.
struct WindowsKeyEvent {
  bool key_down = false;
  std::uint16_t virtual_key = 0;
  char16_t character = 0;  ///< one UTF-16 unit; 0 for a key with no character
};

/// Follows the Windows console's key events during the wait for one key press. A
/// key-up and a lone modifier (Shift, Ctrl, Alt, a lock key, a Windows key)
/// do not count; any other key-down ends the wait. A character beyond the
/// Basic Multilingual Plane comes as two events, one for each surrogate.
class WindowsKeyWait {
 public:
  /// Takes the next key event; true once it ended the wait.
  bool take(const WindowsKeyEvent& event) noexcept;

  /// After the wait: the character of the key that ended it, in UTF-16, when
  /// it shows; empty for Esc, Enter, an arrow, a function key or a control.
  [[nodiscard]] std::u16string_view echo() const noexcept { return {units_.data(), size_}; }

 private:
  std::array<char16_t, 2> units_{};
  std::size_t size_ = 0;
};

}  // namespace dep
