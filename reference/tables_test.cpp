#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>
#include <vector>

#include "reference/reference.hpp"

namespace dep {
namespace {

// The reference tables as published, one row per line: the row's key (an age
// or a height), then its values. Parsed here so that every cell of the
// program's tables is checked against an independent copy.
constexpr std::string_view PUBLISHED_MEN = R"(
15 | 530 | 542 | 555 | 566 | 577
20 | 570 | 580 | 588 | 600 | 612
25 | 594 | 606 | 617 | 628 | 638
30 | 606 | 618 | 632 | 642 | 652
35 | 610 | 623 | 638 | 650 | 660
40 | 608 | 620 | 635 | 647 | 657
45 | 600 | 614 | 628 | 638 | 650
50 | 587 | 600 | 613 | 622 | 635
55 | 571 | 585 | 596 | 608 | 619
60 | 554 | 570 | 578 | 589 | 600
65 | 538 | 550 | 560 | 570 | 580
70 | 520 | 530 | 540 | 550 | 560
75 | 510 | 510 | 520 | 530 | 540
80 | 480 | 490 | 500 | 510 | 520
85 | 462 | 470 | 480 | 490 | 500
)";

constexpr std::string_view PUBLISHED_WOMEN = R"(
15 | 441 | 453 | 464 | 474 | 0
20 | 460 | 472 | 483 | 494 | 0
25 | 470 | 484 | 496 | 505 | 0
30 | 476 | 490 | 500 | 510 | 0
35 | 473 | 488 | 498 | 508 | 0
40 | 460 | 480 | 490 | 500 | 0
45 | 449 | 470 | 480 | 490 | 0
50 | 438 | 458 | 468 | 478 | 0
55 | 433 | 446 | 456 | 466 | 0
60 | 422 | 431 | 440 | 450 | 0
65 | 410 | 419 | 428 | 436 | 0
70 | 397 | 406 | 413 | 422 | 0
75 | 385 | 390 | 400 | 408 | 0
80 | 370 | 378 | 386 | 394 | 0
85 | 360 | 365 | 374 | 380 | 0
)";

constexpr std::string_view PUBLISHED_CHILDREN = R"(
100 | 124
105 | 146
110 | 169
115 | 192
120 | 215
125 | 237
130 | 260
135 | 283
140 | 306
145 | 329
150 | 351
155 | 374
160 | 397
165 | 420
170 | 442
175 | 465
180 | 488
)";

struct PublishedRow {
  std::int32_t key = 0;
  std::vector<std::int32_t> values;
};

std::vector<PublishedRow> parse(std::string_view table) {
  std::vector<PublishedRow> rows;
  std::size_t start = 0;
  while (start < table.size()) {
    std::size_t end = table.find('\n', start);
    if (end == std::string_view::npos) {
      end = table.size();
    }
    const std::string_view line = table.substr(start, end - start);
    start = end + 1;
    if (line.empty()) {
      continue;
    }
    std::vector<std::int32_t> numbers;
    std::int32_t number = 0;
    bool in_number = false;
    for (const char c : line) {
      if (c >= '0' && c <= '9') {
        number = number * 10 + (c - '0');
        in_number = true;
      } else if (in_number) {
        numbers.push_back(number);
        number = 0;
        in_number = false;
      }
    }
    if (in_number) {
      numbers.push_back(number);
    }
    rows.push_back({numbers.front(), {numbers.begin() + 1, numbers.end()}});
  }
  return rows;
}

TEST(ReferenceTables, AxesAreThePublishedReferencePoints) {
  const std::vector<std::int32_t> ages{15, 20, 25, 30, 35, 40, 45, 50, 55, 60, 65, 70, 75, 80, 85};
  EXPECT_EQ(std::vector<std::int32_t>(AGE_GRID.begin(), AGE_GRID.end()), ages);
  EXPECT_EQ(std::vector<std::int32_t>(MEN_HEIGHT_GRID.begin(), MEN_HEIGHT_GRID.end()),
            (std::vector<std::int32_t>{160, 167, 175, 183, 190}));
  EXPECT_EQ(std::vector<std::int32_t>(WOMEN_HEIGHT_GRID.begin(), WOMEN_HEIGHT_GRID.end()),
            (std::vector<std::int32_t>{152, 160, 167, 175}));
  ASSERT_EQ(CHILD_HEIGHT_GRID.size(), 17U);
  for (std::size_t i = 0; i < CHILD_HEIGHT_GRID.size(); ++i) {
    EXPECT_EQ(CHILD_HEIGHT_GRID[i], 100 + 5 * static_cast<std::int32_t>(i));
  }
}

TEST(ReferenceTables, EveryMenCellMatchesThePublishedTable) {
  const auto rows = parse(PUBLISHED_MEN);
  ASSERT_EQ(rows.size(), 15U);
  for (int row = 0; row < 15; ++row) {
    const PublishedRow& published = rows[static_cast<std::size_t>(row)];
    EXPECT_EQ(AGE_GRID[static_cast<std::size_t>(row)], published.key);
    ASSERT_EQ(published.values.size(), 5U);
    for (int column = 0; column < 5; ++column) {
      const std::int32_t expected = published.values[static_cast<std::size_t>(column)];
      EXPECT_EQ(adult_pef(PatientCategory::Man, row, column, false), expected)
          << "age " << published.key << ", column " << column;
      EXPECT_EQ(MEN_PEF[static_cast<std::size_t>(row * 5 + column)], expected);
    }
  }
}

TEST(ReferenceTables, EveryWomenCellMatchesThePublishedTable) {
  const auto rows = parse(PUBLISHED_WOMEN);
  ASSERT_EQ(rows.size(), 15U);
  for (int row = 0; row < 15; ++row) {
    const PublishedRow& published = rows[static_cast<std::size_t>(row)];
    EXPECT_EQ(AGE_GRID[static_cast<std::size_t>(row)], published.key);
    ASSERT_EQ(published.values.size(), 5U);
    for (int column = 0; column < 4; ++column) {
      EXPECT_EQ(adult_pef(PatientCategory::Woman, row, column, false),
                published.values[static_cast<std::size_t>(column)])
          << "age " << published.key << ", column " << column;
    }
    // The fifth column is storage only.
    for (int column = 0; column < 5; ++column) {
      EXPECT_EQ(WOMEN_PEF[static_cast<std::size_t>(row * 5 + column)],
                published.values[static_cast<std::size_t>(column)]);
    }
  }
}

TEST(ReferenceTables, EveryChildCellMatchesThePublishedTable) {
  const auto rows = parse(PUBLISHED_CHILDREN);
  ASSERT_EQ(rows.size(), 17U);
  for (int index = 0; index < 17; ++index) {
    const PublishedRow& published = rows[static_cast<std::size_t>(index)];
    EXPECT_EQ(CHILD_HEIGHT_GRID[static_cast<std::size_t>(index)], published.key);
    EXPECT_EQ(child_pef(index), published.values.at(0)) << "height " << published.key;
  }
}

/// What the guide says of the adult tables: each cell lies within 15 L/min of
/// Nunn and Gregg's regression equations (BMJ 1989;298:1068-70), and 5 L/min
/// on average; ln DEP = a·ln(age) − b·age − c/height + d.
TEST(ReferenceTables, AdultCellsAgreeWithNunnAndGreggWithin15LitresPerMinute) {
  struct Equation {
    PatientCategory category;
    double a, b, c, d;
    std::span<const std::int32_t> heights;
  };
  const std::array<Equation, 2> equations{{
      {PatientCategory::Man, 0.544, 0.0151, 74.7, 5.48, MEN_HEIGHT_GRID},
      {PatientCategory::Woman, 0.376, 0.0120, 58.8, 5.63, WOMEN_HEIGHT_GRID},
  }};
  for (const Equation& equation : equations) {
    double sum = 0;
    for (int row = 0; row < 15; ++row) {
      const double age = AGE_GRID[static_cast<std::size_t>(row)];
      for (int column = 0; column < static_cast<int>(equation.heights.size()); ++column) {
        const double height = equation.heights[static_cast<std::size_t>(column)];
        const double published = std::exp(equation.a * std::log(age) - equation.b * age -
                                          equation.c / height + equation.d);
        const double apart = std::abs(adult_pef(equation.category, row, column, false) - published);
        EXPECT_LT(apart, 15.0) << "age " << age << ", height " << height;
        sum += apart;
      }
    }
    EXPECT_LT(sum / static_cast<double>(15 * equation.heights.size()), 5.5);
  }
}

TEST(ReferenceTables, BlendedLookupIsTheTruncatedMeanWithTheRowAbove) {
  EXPECT_EQ(adult_pef(PatientCategory::Man, 1, 0, true), 550);     // (570 + 530) / 2
  EXPECT_EQ(adult_pef(PatientCategory::Woman, 1, 0, true), 450);   // 901 / 2, half dropped
  EXPECT_EQ(adult_pef(PatientCategory::Man, 6, 2, true), 631);     // (628 + 635) / 2
  EXPECT_EQ(adult_pef(PatientCategory::Man, 14, 4, true), 510);    // (500 + 520) / 2
  EXPECT_EQ(adult_pef(PatientCategory::Woman, 14, 3, true), 387);  // (380 + 394) / 2
  EXPECT_EQ(adult_pef(PatientCategory::Woman, 12, 1, true), 398);  // (390 + 406) / 2
  EXPECT_EQ(adult_pef(PatientCategory::Woman, 13, 0, true), 377);  // 755 / 2, half dropped
}

TEST(ReferenceTables, PublishedSpotValues) {
  EXPECT_EQ(adult_pef(PatientCategory::Man, 12, 0, false), 510);
  EXPECT_EQ(adult_pef(PatientCategory::Man, 12, 1, false), 510);
  EXPECT_EQ(adult_pef(PatientCategory::Woman, 14, 3, false), 380);
  EXPECT_EQ(child_pef(0), 124);
  EXPECT_EQ(child_pef(16), 488);
  // The lookups are usable at compile time.
  static_assert(adult_pef(PatientCategory::Man, 6, 2, true) == 631);
  static_assert(child_pef(7) == 283);
}

}  // namespace
}  // namespace dep
