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
// the ages that average it with the row above. An empty range has lo > hi.
struct AgeRange {
  std::int32_t reference;
  int row;
  std::int32_t alone_lo, alone_hi;
  std::int32_t blend_lo, blend_hi;
};

constexpr std::int32_t BEYOND = 1000;  // stands for "and below" / "and above"

constexpr std::array<AgeRange, 15> AGE_MAPPING{{
    {15, 0, -BEYOND, 16, 1, 0},
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
    {85, 14, 84, BEYOND, 82, 83},
}};

std::string age_note(std::int32_t reference) {
  return "l age le plus proche est " + std::to_string(reference) + " ans";
}

TEST(AgeSnapping, EveryAgeFromMinus5To130FollowsThePublishedMapping) {
  for (std::int32_t age = -5; age <= 130; ++age) {
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
}

TEST(AgeSnapping, NearTheEndsOfTheAxis) {
  EXPECT_EQ(snap_age(16).row, 0);
  EXPECT_FALSE(snap_age(16).blend_with_previous);
  // 17 is nearer 15, yet the note names 20 and the value averages both rows.
  EXPECT_EQ(snap_age(17).row, 1);
  EXPECT_TRUE(snap_age(17).blend_with_previous);
  EXPECT_EQ(snap_age(17).note, "l age le plus proche est 20 ans");
  EXPECT_EQ(snap_age(84).row, 14);
  EXPECT_FALSE(snap_age(84).blend_with_previous);
  EXPECT_EQ(snap_age(83).row, 14);
  EXPECT_TRUE(snap_age(83).blend_with_previous);
}

TEST(AgeSnapping, AnyIntegerIsPlacedOnAnEndOfTheAxis) {
  for (const std::int32_t age : {0, -1, -100, LOWEST}) {
    EXPECT_EQ(snap_age(age).row, 0) << age;
    EXPECT_FALSE(snap_age(age).blend_with_previous) << age;
    EXPECT_EQ(snap_age(age).note, "l age le plus proche est 15 ans") << age;
  }
  for (const std::int32_t age : {86, 120, 1000000, HIGHEST}) {
    EXPECT_EQ(snap_age(age).row, 14) << age;
    EXPECT_FALSE(snap_age(age).blend_with_previous) << age;
    EXPECT_EQ(snap_age(age).note, "l age le plus proche est 85 ans") << age;
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
  for (std::int32_t height = 0; height <= 300; ++height) {
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

TEST(AdultHeightSnapping, EveryManHeightFrom0To300FollowsThePublishedMapping) {
  expect_adult_mapping(PatientCategory::Man, {{-BEYOND, 163, 160, 0},
                                              {164, 171, 167, 1},
                                              {172, 179, 175, 2},
                                              {180, 186, 183, 3},
                                              {187, BEYOND, 190, 4}});
}

TEST(AdultHeightSnapping, EveryWomanHeightFrom0To300FollowsThePublishedMapping) {
  expect_adult_mapping(
      PatientCategory::Woman,
      {{-BEYOND, 156, 152, 0}, {157, 163, 160, 1}, {164, 171, 167, 2}, {172, BEYOND, 175, 3}});
}

TEST(AdultHeightSnapping, MidwayGoesDownAndExtremesTakeTheEnds) {
  EXPECT_EQ(snap_adult_height(PatientCategory::Man, 171).index, 1);    // 167, not 175
  EXPECT_EQ(snap_adult_height(PatientCategory::Man, 179).index, 2);    // 175, not 183
  EXPECT_EQ(snap_adult_height(PatientCategory::Woman, 156).index, 0);  // 152, not 160
  EXPECT_EQ(snap_adult_height(PatientCategory::Woman, 172).index, 3);
  EXPECT_EQ(snap_adult_height(PatientCategory::Man, 150).note, "la taille la plus proche est 160");
  for (const std::int32_t height : {-1, LOWEST}) {
    EXPECT_EQ(snap_adult_height(PatientCategory::Man, height).index, 0);
    EXPECT_EQ(snap_adult_height(PatientCategory::Woman, height).index, 0);
  }
  EXPECT_EQ(snap_adult_height(PatientCategory::Man, HIGHEST).index, 4);
  EXPECT_EQ(snap_adult_height(PatientCategory::Woman, HIGHEST).index, 3);
  EXPECT_EQ(snap_adult_height(PatientCategory::Woman, 200).note,
            "la taille la plus proche est 175");
  // A man and a woman on the same reference height read the same note.
  EXPECT_EQ(snap_adult_height(PatientCategory::Man, 160).note,
            snap_adult_height(PatientCategory::Woman, 160).note);
}

TEST(ChildHeightSnapping, EveryHeightFrom0To300FollowsThePublishedMapping) {
  for (std::int32_t height = 0; height <= 300; ++height) {
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

TEST(ChildHeightSnapping, BoundariesAndExtremes) {
  EXPECT_EQ(snap_child_height(102).index, 0);
  EXPECT_FALSE(snap_child_height(102).has_note());
  EXPECT_EQ(snap_child_height(103).index, 1);
  EXPECT_EQ(snap_child_height(178).index, 16);
  EXPECT_FALSE(snap_child_height(178).has_note());
  EXPECT_FALSE(snap_child_height(100).has_note());
  EXPECT_FALSE(snap_child_height(180).has_note());
  EXPECT_EQ(snap_child_height(99).note, "La taille la plus proche est 100 cm");
  EXPECT_EQ(snap_child_height(181).note, "La taille la plus proche est 180 cm");
  EXPECT_EQ(snap_child_height(LOWEST).index, 0);
  EXPECT_EQ(snap_child_height(HIGHEST).index, 16);
}

}  // namespace
}  // namespace dep
