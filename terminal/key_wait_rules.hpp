#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

// What the key wait (key_wait.hpp) follows on each platform: pure rules, so
// that every platform builds and tests both.

namespace dep {

// A POSIX terminal: which bytes make one key.

/// Where the first key press ends in the bytes a terminal sent for it.
struct KeySplit {
  /// Bytes of the first key; 0 when the bytes are only the start of a key
  /// that more bytes would complete (a lone Esc is such a start).
  std::size_t length = 0;
  /// The key is a character that shows: printable ASCII, or one whole valid
  /// UTF-8 character other than a C1 control. Its `length` bytes are what to echo.
  bool printable = false;

  friend bool operator==(const KeySplit&, const KeySplit&) = default;
};

/// Splits the first key press off `bytes`. A key is one of:
/// - a CSI sequence: Esc [, parameter and intermediate bytes, a final byte
///   (the Linux console's Esc [ [ and one letter included);
/// - an SS3 sequence: Esc O and one byte;
/// - Alt with a key: Esc, then that key;
/// - a UTF-8 character of 2 to 4 bytes;
/// - any other single byte: ASCII, or a byte no UTF-8 character starts with.
/// A sequence cut short by a byte that cannot belong to it ends before that
/// byte and shows nothing.
[[nodiscard]] KeySplit split_key(std::span<const unsigned char> bytes) noexcept;

// The Windows console: which key events end the wait.

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
