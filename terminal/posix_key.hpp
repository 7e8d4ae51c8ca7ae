#pragma once

#include <cstddef>
#include <span>

namespace dep {

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

}  // namespace dep
