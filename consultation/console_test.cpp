#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>
#include <vector>

#include "consultation/memory_console.hpp"

namespace dep {
namespace {

constexpr std::int32_t LOWEST = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t HIGHEST = std::numeric_limits<std::int32_t>::max();

TEST(ConsoleReadChar, TakesEveryByteInTurnThenReportsTheEnd) {
  MemoryConsole console(std::string_view("a \n\xff", 4));
  EXPECT_EQ(console.read_char(), 'a');
  EXPECT_EQ(console.read_char(), ' ');
  EXPECT_EQ(console.read_char(), '\n');
  EXPECT_EQ(console.read_char(), 0xff);  // a byte, never a negative char
  EXPECT_EQ(console.read_char(), Console::END_OF_INPUT);
  EXPECT_EQ(console.read_char(), Console::END_OF_INPUT);
}

/// One integer read and what it leaves in the target, which starts at 33.
struct IntRead {
  bool read;
  std::int32_t value;  ///< the number read, or the value kept
};

struct ReadIntCase {
  std::string_view what;
  std::string_view input;
  std::vector<IntRead> reads;
  int next;  ///< what read_char gives after the reads
};

TEST(ConsoleReadInt, SkipsBlanksTakesASignAndDigitsAndLeavesTheNextByte) {
  const auto cases = std::to_array<ReadIntCase>({
      {"blanks and line ends, signs, leading zeros",
       " \t\r\n\v\f42 +17\n\n-5 007",
       {{true, 42}, {true, 17}, {true, -5}, {true, 7}, {false, 7}},
       Console::END_OF_INPUT},
      {"a unit after the digits", "178cm", {{true, 178}}, 'c'},
      {"a letter, met by every later read", "  omme", {{false, 33}, {false, 33}}, 'o'},
      {"a lone sign, consumed", "-\n25 +x", {{false, 33}, {true, 25}, {false, 25}}, 'x'},
      {"two signs, the first consumed", "--5", {{false, 33}, {true, -5}}, Console::END_OF_INPUT},
      {"only blanks", " \n ", {{false, 33}}, Console::END_OF_INPUT},
      {"beyond the range, saturated",
       "2147483647 2147483648 -2147483648 -2147483649",
       {{true, HIGHEST}, {true, HIGHEST}, {true, LOWEST}, {true, LOWEST}},
       Console::END_OF_INPUT},
      {"every digit consumed", "99999999999999999999999x", {{true, HIGHEST}}, 'x'},
      {"leading zeros, which are no overflow",
       "-00000000000000000000012 000000000000000000002147483647",
       {{true, -12}, {true, HIGHEST}},
       Console::END_OF_INPUT},
  });
  for (const ReadIntCase& c : cases) {
    MemoryConsole console(c.input);
    std::int32_t value = 33;
    for (std::size_t i = 0; i < c.reads.size(); ++i) {
      EXPECT_EQ(console.read_int(value), c.reads[i].read) << c.what << ", read " << i;
      EXPECT_EQ(value, c.reads[i].value) << c.what << ", read " << i;
    }
    EXPECT_EQ(console.read_char(), c.next) << c.what;
  }
}

}  // namespace
}  // namespace dep
