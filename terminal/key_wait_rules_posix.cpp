#include "terminal/key_wait_rules.hpp"

#include <cstddef>
#include <span>

namespace dep {
namespace {

using Bytes = std::span<const unsigned char>;

constexpr unsigned char ESCAPE = 0x1b;
constexpr KeySplit INCOMPLETE{};

/// Length of the UTF-8 character that `lead` starts; 0 when no character
/// starts with it (a continuation byte, an overlong or out-of-range lead).
std::size_t utf8_length(unsigned char lead) {
  if (lead >= 0xc2 && lead <= 0xdf) {
    return 2;
  }
  if (lead >= 0xe0 && lead <= 0xef) {
    return 3;
  }
  if (lead >= 0xf0 && lead <= 0xf4) {
    return 4;
  }
  return 0;
}

/// Whether the second of `bytes` may follow their lead byte. Some leads
/// allow less than 80 … BF, which keeps out overlong forms, UTF-16 surrogates
/// and code points beyond U+10FFFF.
bool second_byte_fits(Bytes bytes) {
  const unsigned char byte = bytes[1];
  switch (bytes[0]) {
    case 0xe0:
      return byte >= 0xa0 && byte <= 0xbf;
    case 0xed:
      return byte >= 0x80 && byte <= 0x9f;
    case 0xf0:
      return byte >= 0x90 && byte <= 0xbf;
    case 0xf4:
      return byte >= 0x80 && byte <= 0x8f;
    default:
      return byte >= 0x80 && byte <= 0xbf;
  }
}

KeySplit split_utf8(Bytes bytes) {
  const std::size_t length = utf8_length(bytes[0]);
  if (length == 0) {
    return {1, false};
  }
  for (std::size_t i = 1; i < length; ++i) {
    if (i == bytes.size()) {
      return INCOMPLETE;
    }
    const bool continues = i == 1 ? second_byte_fits(bytes) : bytes[i] >= 0x80 && bytes[i] <= 0xbf;
    if (!continues) {
      return {i, false};  // the valid start so far is one broken key
    }
  }
  // U+0080 … U+009F are C1 controls: whole characters, but none shows.
  const bool c1_control = bytes[0] == 0xc2 && bytes[1] <= 0x9f;
  return {length, !c1_control};
}

/// `bytes` start with Esc [.
KeySplit split_csi(Bytes bytes) {
  if (bytes.size() > 2 && bytes[2] == '[') {  // the Linux console's F1 … F5
    return bytes.size() > 3 ? KeySplit{4, false} : INCOMPLETE;
  }
  for (std::size_t i = 2; i < bytes.size(); ++i) {
    const unsigned char byte = bytes[i];
    if (byte >= 0x40 && byte <= 0x7e) {
      return {i + 1, false};  // the final byte
    }
    if (byte < 0x20 || byte > 0x3f) {
      return {i, false};  // neither a parameter nor an intermediate byte
    }
  }
  return INCOMPLETE;
}

KeySplit split_escape(Bytes bytes) {
  if (bytes.size() < 2) {
    return INCOMPLETE;
  }
  if (bytes[1] == '[') {
    return split_csi(bytes);
  }
  if (bytes[1] == 'O') {
    return bytes.size() > 2 ? KeySplit{3, false} : INCOMPLETE;
  }
  const KeySplit key = split_key(bytes.subspan(1));  // Alt with that key
  return key.length == 0 ? INCOMPLETE : KeySplit{key.length + 1, false};
}

}  // namespace

KeySplit split_key(Bytes bytes) noexcept {
  if (bytes.empty()) {
    return INCOMPLETE;
  }
  const unsigned char first = bytes[0];
  if (first == ESCAPE) {
    return split_escape(bytes);
  }
  if (first < 0x80) {
    return {1, first >= 0x20 && first <= 0x7e};
  }
  return split_utf8(bytes);
}

}  // namespace dep
