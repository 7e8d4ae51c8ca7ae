#include "terminal/key_wait.hpp"

#include <windows.h>

#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <string_view>

#include "terminal/key_wait_rules.hpp"

namespace dep {
namespace {

bool is_windows_console(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

/// Shows `text` after the report: on a console as the characters themselves,
/// whatever its code page; elsewhere in UTF-8. Returns 0 or an errno value.
int echo(std::u16string_view text) {
  if (text.empty()) {
    return 0;
  }
  std::array<wchar_t, 2> wide{};
  for (std::size_t i = 0; i < text.size() && i < wide.size(); ++i) {
    wide[i] = static_cast<wchar_t>(text[i]);
  }
  const auto size = static_cast<DWORD>(text.size());
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  if (is_windows_console(output)) {
    DWORD written = 0;
    return WriteConsoleW(output, wide.data(), size, &written, nullptr) != 0 && written == size
               ? 0
               : EIO;
  }
  std::array<char, 8> utf8{};
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(size), utf8.data(),
                          static_cast<int>(utf8.size()), nullptr, nullptr);
  if (length <= 0) {
    return 0;
  }
  errno = 0;
  const auto bytes = static_cast<std::size_t>(length);
  if (std::fwrite(utf8.data(), 1, bytes, stdout) != bytes || std::fflush(stdout) != 0) {
    return errno != 0 ? errno : EIO;
  }
  return 0;
}

}  // namespace

int wait_for_key_press() {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (!is_windows_console(input)) {
    return 0;  // a pipe, a file or NUL: no key to wait for
  }
  // Type-ahead and the key-up of the Enter that ended the last answer are not
  // the key. Key events are read raw, so the input mode stays as it is.
  (void)FlushConsoleInputBuffer(input);
  WindowsKeyWait wait;
  for (;;) {
    INPUT_RECORD record{};
    DWORD got = 0;
    if (ReadConsoleInputW(input, &record, 1, &got) == 0) {
      return 0;  // the console is gone: no key can come
    }
    if (got != 1 || record.EventType != KEY_EVENT) {
      continue;
    }
    // INPUT_RECORD and its character are unions that EventType tags.
    // NOLINTBEGIN(cppcoreguidelines-pro-type-union-access)
    const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
    const WindowsKeyEvent event{key.bKeyDown != FALSE, key.wVirtualKeyCode,
                                static_cast<char16_t>(key.uChar.UnicodeChar)};
    // NOLINTEND(cppcoreguidelines-pro-type-union-access)
    if (wait.take(event)) {
      return echo(wait.echo());
    }
  }
}

}  // namespace dep
