#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

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

TEST(ConsoleReadInt, SkipsBlanksAndLineEndsAndTakesAnOptionalSign) {
  MemoryConsole console(" \t\r\n\v\f42 +17\n\n-5 007");
  std::int32_t value = 0;
  EXPECT_TRUE(console.read_int(value));
  EXPECT_EQ(value, 42);
  EXPECT_TRUE(console.read_int(value));
  EXPECT_EQ(value, 17);
  EXPECT_TRUE(console.read_int(value));
  EXPECT_EQ(value, -5);
  EXPECT_TRUE(console.read_int(value));
  EXPECT_EQ(value, 7);
  EXPECT_FALSE(console.read_int(value));
  EXPECT_EQ(value, 7);
}

TEST(ConsoleReadInt, StopsAtTheFirstOtherByteAndLeavesItInTheInput) {
  MemoryConsole console("178cm");
  std::int32_t value = 0;
  EXPECT_TRUE(console.read_int(value));
  EXPECT_EQ(value, 178);
  EXPECT_EQ(console.read_char(), 'c');
}

TEST(ConsoleReadInt, FailsWithoutDigitsAndKeepsTheValue) {
  {
    // A letter stays in the input, so every later read meets it again.
    MemoryConsole console("  omme");
    std::int32_t value = 33;
    EXPECT_FALSE(console.read_int(value));
    EXPECT_FALSE(console.read_int(value));
    EXPECT_EQ(value, 33);
    EXPECT_EQ(console.read_char(), 'o');
  }
  {
    // A lone sign is consumed; the next read starts after it.
    MemoryConsole console("-\n25 +x");
    std::int32_t value = 33;
    EXPECT_FALSE(console.read_int(value));
    EXPECT_EQ(value, 33);
    EXPECT_TRUE(console.read_int(value));
    EXPECT_EQ(value, 25);
    EXPECT_FALSE(console.read_int(value));
    EXPECT_EQ(console.read_char(), 'x');
  }
  {
    // Of two signs, only the first is consumed.
    MemoryConsole console("--5");
    std::int32_t value = 33;
    EXPECT_FALSE(console.read_int(value));
    EXPECT_TRUE(console.read_int(value));
    EXPECT_EQ(value, -5);
  }
  {
    MemoryConsole console(" \n ");
    std::int32_t value = 33;
    EXPECT_FALSE(console.read_int(value));
    EXPECT_EQ(value, 33);
    EXPECT_EQ(console.read_char(), Console::END_OF_INPUT);
  }
}

TEST(ConsoleReadInt, SaturatesBeyondTheRangeAndConsumesAllDigits) {
  MemoryConsole console(
      "2147483647 2147483648 -2147483648 -2147483649 99999999999999999999999x "
      "-00000000000000000000012 000000000000000000002147483647");
  std::int32_t value = 0;
  EXPECT_TRUE(console.read_int(value));
  EXPECT_EQ(value, HIGHEST);
  EXPECT_TRUE(console.read_int(value));
  EXPECT_EQ(value, HIGHEST);
  EXPECT_TRUE(console.read_int(value));
  EXPECT_EQ(value, LOWEST);
  EXPECT_TRUE(console.read_int(value));
  EXPECT_EQ(value, LOWEST);
  EXPECT_TRUE(console.read_int(value));
  EXPECT_EQ(value, HIGHEST);
  EXPECT_EQ(console.read_char(), 'x');
  EXPECT_TRUE(console.read_int(value));
  EXPECT_EQ(value, -12);  // leading zeros are no overflow
  EXPECT_TRUE(console.read_int(value));
  EXPECT_EQ(value, HIGHEST);
}

}  // namespace
}  // namespace dep
