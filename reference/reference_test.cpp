#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "reference/reference.hpp"

namespace dep {
namespace {

constexpr std::int32_t LOWEST = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t HIGHEST = std::numeric_limits<std::int32_t>::max();

// One line of the published age mapping: the ages that take a row alone and
// the ages that average it with the row above. An empty range has lo > hi;
// "and below" and "and above" reach the ends of the 32-bit range.
struct AgeRange {
  std::int32_t reference;
  int row;
  std::int32_t alone_lo, alone_hi;
  std::int32_t blend_lo, blend_hi;
};

constexpr std::array<AgeRange, 15> AGE_MAPPING{{
    {15, 0, LOWEST, 16, 1, 0},
    {20, 1, 19, 21, 17, 18},
    {25, 2, 24, 26, 22, 23},
    {30, 3, 29, 31, 27, 28},
    {35, 4, 34, 36, 32, 33},
    {40, 5, 39, 41, 37, 38},
    {45, 6, 44, 46, 42, 43},
    {50, 7, 49, 51, 47, 48},
    {55, 8, 54, 56, 52, 53},
    {60, 9, 59, 61, 57, 58},
    {65, 10, 64, 66, 62, 63},
    {70, 11, 69, 71, 67, 68},
    {75, 12, 74, 76, 72, 73},
    {80, 13, 79, 81, 77, 78},
    {85, 14, 84, HIGHEST, 82, 83},
}};

/// Every integer from `first` to `last`, then integers far beyond both ends.
std::vector<std::int32_t> span_and_extremes(std::int32_t first, std::int32_t last) {
  std::vector<std::int32_t> values{LOWEST, -100, 1000000, HIGHEST};
  for (std::int32_t value = first; value <= last; ++value) {
    values.push_back(value);
  }
  return values;
}

std::string age_note(std::int32_t reference) {
  return "l age le plus proche est " + std::to_string(reference) + " ans";
}

TEST(AgeSnapping, EveryAgeFromMinus5To130AndBeyondFollowsThePublishedMapping) {
  for (const std::int32_t age : span_and_extremes(-5, 130)) {
    int matches = 0;
    for (const AgeRange& range : AGE_MAPPING) {
      const bool alone = age >= range.alone_lo && age <= range.alone_hi;
      const bool blended = age >= range.blend_lo && age <= range.blend_hi;
      if (!alone && !blended) {
        continue;
      }
      ++matches;
      const AgeSnap snap = snap_age(age);
      EXPECT_EQ(snap.row, range.row) << "age " << age;
      EXPECT_EQ(snap.blend_with_previous, blended) << "age " << age;
      EXPECT_EQ(snap.note, age_note(range.reference)) << "age " << age;
    }
    EXPECT_EQ(matches, 1) << "age " << age;
  }
  static_assert(snap_age(42).row == 6 && snap_age(42).blend_with_previous);
}

// One line of the published height mapping: heights lo … hi take `column`.
struct HeightRange {
  std::int32_t lo, hi;
  std::int32_t reference;
  int column;
};

void expect_adult_mapping(PatientCategory category, const std::vector<HeightRange>& mapping) {
  for (const std::int32_t height : span_and_extremes(-5, 300)) {
    int matches = 0;
    for (const HeightRange& range : mapping) {
      if (height < range.lo || height > range.hi) {
        continue;
      }
      ++matches;
      const HeightSnap snap = snap_adult_height(category, height);
      EXPECT_EQ(snap.index, range.column) << "height " << height;
      EXPECT_EQ(snap.note, "la taille la plus proche est " + std::to_string(range.reference))
          << "height " << height;
    }
    EXPECT_EQ(matches, 1) << "height " << height;
  }
}

TEST(AdultHeightSnapping, EveryManHeightFromMinus5To300AndBeyondFollowsThePublishedMapping) {
  expect_adult_mapping(PatientCategory::Man, {{LOWEST, 163, 160, 0},
                                              {164, 171, 167, 1},
                                              {172, 179, 175, 2},
                                              {180, 186, 183, 3},
                                              {187, HIGHEST, 190, 4}});
}

TEST(AdultHeightSnapping, EveryWomanHeightFromMinus5To300AndBeyondFollowsThePublishedMapping) {
  expect_adult_mapping(
      PatientCategory::Woman,
      {{LOWEST, 156, 152, 0}, {157, 163, 160, 1}, {164, 171, 167, 2}, {172, HIGHEST, 175, 3}});
}

TEST(ChildHeightSnapping, EveryHeightFromMinus5To300AndBeyondFollowsThePublishedMapping) {
  for (const std::int32_t height : span_and_extremes(-5, 300)) {
    const HeightSnap snap = snap_child_height(height);
    if (height <= 99) {
      EXPECT_EQ(snap.index, 0) << height;
      EXPECT_EQ(snap.note, "La taille la plus proche est 100 cm") << height;
    } else if (height >= 181) {
      EXPECT_EQ(snap.index, 16) << height;
      EXPECT_EQ(snap.note, "La taille la plus proche est 180 cm") << height;
    } else {
      // Index i covers the heights within 2 cm of 100 + 5·i.
      int expected = -1;
      for (int i = 0; i <= 16; ++i) {
        if (height >= 98 + 5 * i && height <= 102 + 5 * i) {
          expected = i;
        }
      }
      EXPECT_EQ(snap.index, expected) << height;
      EXPECT_FALSE(snap.has_note()) << height;
    }
  }
}

}  // namespace
}  // namespace dep
