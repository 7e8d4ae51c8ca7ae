#include "terminal/windows_key.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace dep {
namespace {

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

Outcome wait_through(std::initializer_list<WindowsKeyEvent> events) {
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
  // A key-up, such as the Enter that ended the last answer, does not count.
  const Outcome after_enter = wait_through({up(0x0d, u'\r'), down(0x4b, u'k')});
  EXPECT_EQ(after_enter.events_taken, 2U);
  EXPECT_EQ(after_enter.echo, u"k");
  EXPECT_EQ(wait_through({up(0x41, u'a')}).events_taken, 0U);
}

TEST(WindowsKey, EchoesOnlyACharacterThatShows) {
  struct Case {
    std::string_view what;
    WindowsKeyEvent event;
    std::u16string_view echo;
  };
  const auto cases = std::to_array<Case>({
      {"letter", down(0x4b, u'k'), u"k"},
      {"space", down(0x20, u' '), u" "},
      {"tilde", down(0, u'~'), u"~"},
      {"e acute, as a console sends it", down(0, u'\u00e9'), u"\u00e9"},
      {"euro sign", down(0x45, u'\u20ac'), u"\u20ac"},
      {"no-break space", down(0, u'\u00a0'), u"\u00a0"},
      {"U+D7FF, below the surrogates", down(0, u'\ud7ff'), u"\ud7ff"},
      {"U+E000, above the surrogates", down(0, u'\ue000'), u"\ue000"},
      {"Esc", down(0x1b, u'\x1b'), u""},
      {"Enter", down(0x0d, u'\r'), u""},
      {"Backspace", down(0x08, u'\b'), u""},
      {"unit separator", down(0, u'\x1f'), u""},
      {"DEL", down(0, u'\x7f'), u""},
      {"C1 control U+0080", down(0, u'\u0080'), u""},
      {"C1 control U+009F", down(0, u'\u009f'), u""},
      {"Up", down(0x26), u""},
      {"F1", down(0x70), u""},
      {"Ctrl-C without processed input", down(0x43, u'\x03'), u""},
  });
  for (const Case& c : cases) {
    const Outcome outcome = wait_through({c.event});
    EXPECT_EQ(outcome.events_taken, 1U) << c.what;
    EXPECT_EQ(outcome.echo, c.echo) << c.what;
  }
}

TEST(WindowsKey, ACharacterBeyondTheBasicPlaneTakesBothSurrogates) {
  const Outcome emoji = wait_through({down(0, u'\xd83d'), up(0, u'\xd83d'), down(0, u'\xde00')});
  EXPECT_EQ(emoji.events_taken, 3U);
  EXPECT_EQ(emoji.echo, u"\U0001F600");
  const Outcome highest = wait_through({down(0, u'\xdbff'), down(0, u'\xdfff')});
  EXPECT_EQ(highest.echo, u"\U0010FFFF");
  const Outcome lowest = wait_through({down(0, u'\xd800'), down(0, u'\xdc00')});
  EXPECT_EQ(lowest.echo, u"\U00010000");
  // Half a pair is forgotten: the next key is taken as it is.
  const Outcome broken = wait_through({down(0, u'\xd83d'), down(0x41, u'a')});
  EXPECT_EQ(broken.events_taken, 2U);
  EXPECT_EQ(broken.echo, u"a");
  const Outcome broken_by_arrow = wait_through({down(0, u'\xd83d'), down(0x26)});
  EXPECT_EQ(broken_by_arrow.events_taken, 2U);
  EXPECT_EQ(broken_by_arrow.echo, u"");
  // A second high surrogate replaces the first.
  const Outcome replaced =
      wait_through({down(0, u'\xd83d'), down(0, u'\xdbff'), down(0, u'\xde00')});
  EXPECT_EQ(replaced.events_taken, 3U);
  EXPECT_EQ(replaced.echo, u"\U0010FE00");
  // A low surrogate alone ends the wait and shows nothing.
  for (const char16_t low : {u'\xdc00', u'\xde00', u'\xdfff'}) {
    const Outcome low_alone = wait_through({down(0, low)});
    EXPECT_EQ(low_alone.events_taken, 1U) << static_cast<int>(low);
    EXPECT_EQ(low_alone.echo, u"") << static_cast<int>(low);
  }
}

}  // namespace
}  // namespace dep
