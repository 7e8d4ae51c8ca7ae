#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "reference/reference.hpp"

namespace dep {
namespace {

// The reference tables as published, copied here so that every cell of the
// program's tables is checked against an independent copy. The adult tables
// are row by row, as the program stores them: cell (r, c) is element r·5 + c.
constexpr std::array<std::int32_t, 15> PUBLISHED_AGES{15, 20, 25, 30, 35, 40, 45, 50,
                                                      55, 60, 65, 70, 75, 80, 85};
constexpr std::array<std::int32_t, 5> PUBLISHED_MEN_HEIGHTS{160, 167, 175, 183, 190};
constexpr std::array<std::int32_t, 4> PUBLISHED_WOMEN_HEIGHTS{152, 160, 167, 175};

constexpr std::array<std::int32_t, 75> PUBLISHED_MEN{
    // 160  167  175  183  190 cm
    530, 542, 555, 566, 577,  // 15 years
    570, 580, 588, 600, 612,  // 20
    594, 606, 617, 628, 638,  // 25
    606, 618, 632, 642, 652,  // 30
    610, 623, 638, 650, 660,  // 35
    608, 620, 635, 647, 657,  // 40
    600, 614, 628, 638, 650,  // 45
    587, 600, 613, 622, 635,  // 50
    571, 585, 596, 608, 619,  // 55
    554, 570, 578, 589, 600,  // 60
    538, 550, 560, 570, 580,  // 65
    520, 530, 540, 550, 560,  // 70
    510, 510, 520, 530, 540,  // 75
    480, 490, 500, 510, 520,  // 80
    462, 470, 480, 490, 500,  // 85
};

constexpr std::array<std::int32_t, 75> PUBLISHED_WOMEN{
    // 152  160  167  175 cm, and the fifth column, storage only
    441, 453, 464, 474, 0,  // 15 years
    460, 472, 483, 494, 0,  // 20
    470, 484, 496, 505, 0,  // 25
    476, 490, 500, 510, 0,  // 30
    473, 488, 498, 508, 0,  // 35
    460, 480, 490, 500, 0,  // 40
    449, 470, 480, 490, 0,  // 45
    438, 458, 468, 478, 0,  // 50
    433, 446, 456, 466, 0,  // 55
    422, 431, 440, 450, 0,  // 60
    410, 419, 428, 436, 0,  // 65
    397, 406, 413, 422, 0,  // 70
    385, 390, 400, 408, 0,  // 75
    370, 378, 386, 394, 0,  // 80
    360, 365, 374, 380, 0,  // 85
};

/// By height: 100, 105, … 180 cm.
constexpr std::array<std::int32_t, 17> PUBLISHED_CHILDREN{
    124, 146, 169, 192, 215, 237, 260, 283, 306, 329, 351, 374, 397, 420, 442, 465, 488};

TEST(ReferenceTables, EveryAxisAndEveryCellMatchThePublishedTables) {
  EXPECT_EQ(AGE_GRID, PUBLISHED_AGES);
  EXPECT_EQ(MEN_HEIGHT_GRID, PUBLISHED_MEN_HEIGHTS);
  EXPECT_EQ(WOMEN_HEIGHT_GRID, PUBLISHED_WOMEN_HEIGHTS);
  ASSERT_EQ(CHILD_HEIGHT_GRID.size(), PUBLISHED_CHILDREN.size());
  for (std::size_t cell = 0; cell < PUBLISHED_MEN.size(); ++cell) {
    const int row = static_cast<int>(cell / 5);
    const int column = static_cast<int>(cell % 5);
    SCOPED_TRACE(testing::Message() << "row " << row << ", column " << column);
    // The stored cells, the women's fifth column of zeros included.
    EXPECT_EQ(MEN_PEF[cell], PUBLISHED_MEN[cell]);
    EXPECT_EQ(WOMEN_PEF[cell], PUBLISHED_WOMEN[cell]);
    EXPECT_EQ(adult_pef(PatientCategory::Man, row, column, false), PUBLISHED_MEN[cell]);
    if (column < 4) {
      EXPECT_EQ(adult_pef(PatientCategory::Woman, row, column, false), PUBLISHED_WOMEN[cell]);
    }
  }
  for (std::size_t index = 0; index < PUBLISHED_CHILDREN.size(); ++index) {
    EXPECT_EQ(CHILD_HEIGHT_GRID[index], 100 + 5 * static_cast<std::int32_t>(index));
    EXPECT_EQ(child_pef(static_cast<int>(index)), PUBLISHED_CHILDREN[index]) << "index " << index;
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
  // The lookups are usable at compile time.
  static_assert(adult_pef(PatientCategory::Man, 6, 2, true) == 631);
  static_assert(child_pef(7) == 283);
}

}  // namespace
}  // namespace dep
