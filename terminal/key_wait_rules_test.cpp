#include "terminal/key_wait_rules.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace dep {
namespace {

struct Case {
  std::string_view what;
  std::string_view bytes;
  std::size_t length;  // 0: only the start of a key
  bool printable;
};

// What real terminals send for one key, and bytes around the limits of each rule.
constexpr auto CASES = std::to_array<Case>({
    // Single bytes.
    {"letter", "k", 1, true},
    {"space", " ", 1, true},
    {"tilde, last printable ASCII", "~", 1, true},
    {"DEL", "\x7f", 1, false},
    {"unit separator, below space", "\x1f", 1, false},
    {"Enter", "\r", 1, false},
    {"Tab", "\t", 1, false},
    {"Ctrl-A", "\x01", 1, false},
    {"a letter, then more keys", "ab", 1, true},
    // UTF-8 characters.
    {"e acute", "\xc3\xa9", 2, true},
    {"A grave, first byte after the C1 lead", "\xc3\x80", 2, true},
    {"euro sign", "\xe2\x82\xac", 3, true},
    {"grinning face", "\xf0\x9f\x98\x80", 4, true},
    {"C1 control U+0080", "\xc2\x80", 2, false},
    {"C1 control U+009F", "\xc2\x9f", 2, false},
    {"no-break space U+00A0", "\xc2\xa0", 2, true},
    {"U+07FF, last of two bytes", "\xdf\xbf", 2, true},
    {"U+0800, first of three bytes", "\xe0\xa0\x80", 3, true},
    {"U+0FFF", "\xe0\xbf\xbf", 3, true},
    {"U+D000, first after lead ED", "\xed\x80\x80", 3, true},
    {"U+D7FF, below the surrogates", "\xed\x9f\xbf", 3, true},
    {"U+E000, above the surrogates", "\xee\x80\x80", 3, true},
    {"U+FFFD, last lead of three bytes", "\xef\xbf\xbd", 3, true},
    {"U+10000, first of four bytes", "\xf0\x90\x80\x80", 4, true},
    {"U+3FFFF", "\xf0\xbf\xbf\xbf", 4, true},
    {"U+10FFFF, the last code point", "\xf4\x8f\xbf\xbf", 4, true},
    {"U+100000", "\xf4\x80\x80\x80", 4, true},
    {"y diaeresis, last continuation byte", "\xc3\xbf", 2, true},
    // Invalid UTF-8: each broken start is a key that shows nothing.
    {"continuation byte alone", "\x80", 1, false},
    {"last continuation byte alone", "\xbf", 1, false},
    {"overlong lead C1", "\xc1\x81", 1, false},
    {"overlong lead C0", "\xc0\xaf", 1, false},
    {"lead F5, beyond Unicode", "\xf5\x80\x80\x80", 1, false},
    {"byte FF", "\xff", 1, false},
    {"overlong three bytes", "\xe0\x9f\xbf", 1, false},
    {"E0 with a byte above continuations", "\xe0\xc0\x80", 1, false},
    {"surrogate U+D800", "\xed\xa0\x80", 1, false},
    {"ED below continuations", "\xed\x7f\x80", 1, false},
    {"overlong four bytes", "\xf0\x8f\xbf\xbf", 1, false},
    {"F0 with a byte above continuations", "\xf0\xc0\x80\x80", 1, false},
    {"beyond U+10FFFF", "\xf4\x90\x80\x80", 1, false},
    {"F4 below continuations", "\xf4\x7f\x80\x80", 1, false},
    {"two-byte lead before ASCII", "\xc3z", 1, false},
    {"two-byte lead before a byte above continuations", "\xc3\xc0", 1, false},
    {"two-byte lead before a byte below continuations", "\xc3\x7f", 1, false},
    {"euro cut short by ASCII", "\xe2\x82z", 2, false},
    {"third byte below continuations", "\xe2\x82\x7f", 2, false},
    {"third byte above continuations", "\xe2\x82\xc0", 2, false},
    {"fourth byte cut short", "\xf0\x9f\x98z", 3, false},
    // Keys that are sequences.
    {"Up", "\x1b[A", 3, false},
    {"Down", "\x1b[B", 3, false},
    {"Right", "\x1b[C", 3, false},
    {"Left", "\x1b[D", 3, false},
    {"Up in application mode", "\x1bOA", 3, false},
    {"Home", "\x1b[H", 3, false},
    {"End", "\x1b[F", 3, false},
    {"Home, VT form", "\x1b[1~", 4, false},
    {"End, VT form", "\x1b[4~", 4, false},
    {"Home in application mode", "\x1bOH", 3, false},
    {"Insert", "\x1b[2~", 4, false},
    {"Delete", "\x1b[3~", 4, false},
    {"Page Up", "\x1b[5~", 4, false},
    {"Page Down", "\x1b[6~", 4, false},
    {"F1", "\x1bOP", 3, false},
    {"F2", "\x1bOQ", 3, false},
    {"F3", "\x1bOR", 3, false},
    {"F4", "\x1bOS", 3, false},
    {"F1, CSI form", "\x1b[11~", 5, false},
    {"F4, CSI form", "\x1b[14~", 5, false},
    {"F1 on the Linux console", "\x1b[[A", 4, false},
    {"F5 on the Linux console", "\x1b[[E", 4, false},
    {"F5", "\x1b[15~", 5, false},
    {"F6", "\x1b[17~", 5, false},
    {"F7", "\x1b[18~", 5, false},
    {"F8", "\x1b[19~", 5, false},
    {"F9", "\x1b[20~", 5, false},
    {"F10", "\x1b[21~", 5, false},
    {"F11", "\x1b[23~", 5, false},
    {"F12", "\x1b[24~", 5, false},
    {"Shift-F1", "\x1b[1;2P", 6, false},
    {"Ctrl-Up", "\x1b[1;5A", 6, false},
    {"Shift-Right", "\x1b[1;2C", 6, false},
    {"Ctrl-Page Down", "\x1b[6;5~", 6, false},
    {"final byte @, the lowest", "\x1b[@", 3, false},
    {"private parameter ?", "\x1b[?1A", 5, false},
    {"intermediate blank", "\x1b[2 q", 5, false},
    {"Up, then more keys", "\x1b[Ak", 3, false},
    {"Alt-x", "\x1bx", 2, false},
    {"Alt-Enter", "\x1b\r", 2, false},
    {"Alt-e acute", "\x1b\xc3\xa9", 3, false},
    {"Alt-Up", "\x1b\x1b[A", 4, false},
    // Sequences cut short by a byte that cannot belong to them.
    {"CSI cut by Esc", "\x1b[1\x1b[A", 3, false},
    {"CSI cut by DEL", "\x1b[\x7f", 2, false},
    {"CSI cut by a control", "\x1b[\x1f", 2, false},
    {"CSI cut by a byte above ASCII", "\x1b[1\xc3\xa9", 3, false},
    // Only the start of a key: more bytes would complete it.
    {"nothing", "", 0, false},
    {"lone Esc", "\x1b", 0, false},
    {"Esc [", "\x1b[", 0, false},
    {"Ctrl-Up so far", "\x1b[1;5", 0, false},
    {"Esc O", "\x1bO", 0, false},
    {"Esc [ [", "\x1b[[", 0, false},
    {"Alt with half an e acute", "\x1b\xc3", 0, false},
    {"Esc Esc", "\x1b\x1b", 0, false},
    {"half an e acute", "\xc3", 0, false},
    {"two thirds of a euro", "\xe2\x82", 0, false},
    {"three quarters of an emoji", "\xf0\x9f\x98", 0, false},
});

TEST(PosixKey, SplitsOffTheFirstKeyAndTellsWhetherItShows) {
  for (const Case& c : CASES) {
    const std::vector<unsigned char> bytes(c.bytes.begin(), c.bytes.end());
    EXPECT_EQ(split_key(bytes), (KeySplit{c.length, c.printable})) << c.what;
  }
}

constexpr WindowsKeyEvent down(std::uint16_t key, char16_t character = 0) {
  return {true, key, character};
}
constexpr WindowsKeyEvent up(std::uint16_t key, char16_t character = 0) {
  return {false, key, character};
}

struct Outcome {
  std::size_t events_taken = 0;  // 0: the wait did not end
  std::u16string echo;
};

Outcome wait_through(const std::vector<WindowsKeyEvent>& events) {
  WindowsKeyWait wait;
  std::size_t taken = 0;
  for (const WindowsKeyEvent& event : events) {
    ++taken;
    if (wait.take(event)) {
      return {taken, std::u16string(wait.echo())};
    }
  }
  return {};
}

TEST(WindowsKey, OnlyAKeyDownThatIsNotAModifierEndsTheWait) {
  // Windows' virtual-key codes: Shift, Ctrl, Alt, Caps Lock, left and right
  // Windows keys, Num Lock, Scroll Lock, and left and right Shift, Ctrl, Alt.
  for (const std::uint16_t modifier : std::initializer_list<std::uint16_t>{
           0x10, 0x11, 0x12, 0x14, 0x5b, 0x5c, 0x90, 0x91, 0xa0, 0xa1, 0xa2, 0xa3, 0xa4, 0xa5}) {
    const Outcome outcome = wait_through({down(modifier), up(modifier), down(0x58, u'x')});
    EXPECT_EQ(outcome.events_taken, 3U) << modifier;
    EXPECT_EQ(outcome.echo, u"x") << modifier;
  }
  // Their neighbours are keys of their own: Pause, Z, the menu key, the
  // codes around Num Lock and Scroll Lock, and Browser Back.
  for (const std::uint16_t key :
       std::initializer_list<std::uint16_t>{0x13, 0x5a, 0x5d, 0x8f, 0x92, 0x9f, 0xa6}) {
    EXPECT_EQ(wait_through({down(key)}).events_taken, 1U) << key;
  }
}

TEST(WindowsKey, EndsTheWaitOnAKeyDownAndEchoesOnlyACharacterThatShows) {
  struct EventsCase {
    std::string_view what;
    std::vector<WindowsKeyEvent> events;
    std::size_t events_taken;  // 0: the wait did not end
    std::u16string_view echo;
  };
  const auto cases = std::to_array<EventsCase>({
      {"letter", {down(0x4b, u'k')}, 1, u"k"},
      {"space", {down(0x20, u' ')}, 1, u" "},
      {"tilde", {down(0, u'~')}, 1, u"~"},
      {"e acute, as a console sends it", {down(0, u'\u00e9')}, 1, u"\u00e9"},
      {"euro sign", {down(0x45, u'\u20ac')}, 1, u"\u20ac"},
      {"no-break space", {down(0, u'\u00a0')}, 1, u"\u00a0"},
      {"U+D7FF, below the surrogates", {down(0, u'\ud7ff')}, 1, u"\ud7ff"},
      {"U+E000, above the surrogates", {down(0, u'\ue000')}, 1, u"\ue000"},
      {"Esc", {down(0x1b, u'\x1b')}, 1, u""},
      {"Enter", {down(0x0d, u'\r')}, 1, u""},
      {"Backspace", {down(0x08, u'\b')}, 1, u""},
      {"unit separator", {down(0, u'\x1f')}, 1, u""},
      {"DEL", {down(0, u'\x7f')}, 1, u""},
      {"C1 control U+0080", {down(0, u'\u0080')}, 1, u""},
      {"C1 control U+009F", {down(0, u'\u009f')}, 1, u""},
      {"Up", {down(0x26)}, 1, u""},
      {"F1", {down(0x70)}, 1, u""},
      {"Ctrl-C without processed input", {down(0x43, u'\x03')}, 1, u""},
      // A key-up, such as the Enter that ended the last answer, does not count.
      {"Enter released, then a key", {up(0x0d, u'\r'), down(0x4b, u'k')}, 2, u"k"},
      {"a key released alone", {up(0x41, u'a')}, 0, u""},
      // A character beyond the Basic Multilingual Plane takes both surrogates.
      {"grinning face",
       {down(0, u'\xd83d'), up(0, u'\xd83d'), down(0, u'\xde00')},
       3,
       u"\U0001F600"},
      {"U+10FFFF, the highest pair", {down(0, u'\xdbff'), down(0, u'\xdfff')}, 2, u"\U0010FFFF"},
      {"U+10000, the lowest pair", {down(0, u'\xd800'), down(0, u'\xdc00')}, 2, u"\U00010000"},
      // Half a pair is forgotten: the next key is taken as it is.
      {"half a pair, then a letter", {down(0, u'\xd83d'), down(0x41, u'a')}, 2, u"a"},
      {"half a pair, then an arrow", {down(0, u'\xd83d'), down(0x26)}, 2, u""},
      {"a second high surrogate replaces the first",
       {down(0, u'\xd83d'), down(0, u'\xdbff'), down(0, u'\xde00')},
       3,
       u"\U0010FE00"},
      // A low surrogate alone ends the wait and shows nothing.
      {"lowest low surrogate alone", {down(0, u'\xdc00')}, 1, u""},
      {"a low surrogate alone", {down(0, u'\xde00')}, 1, u""},
      {"highest low surrogate alone", {down(0, u'\xdfff')}, 1, u""},
  });
  for (const EventsCase& c : cases) {
    const Outcome outcome = wait_through(c.events);
    EXPECT_EQ(outcome.events_taken, c.events_taken) << c.what;
    EXPECT_EQ(outcome.echo, c.echo) << c.what;
  }
}

}  // namespace
}  // namespace dep
