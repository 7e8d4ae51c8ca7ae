#pragma once

// Reference values: placing a patient on the reference grid and reading the
// theoretical peak expiratory flow (L/min). Pure functions over the constant
// tables of tables.hpp; no I/O, no allocation.

#include <algorithm>
#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "reference/tables.hpp"

namespace dep {

enum class PatientCategory : std::uint8_t { Man, Woman, Child };

/// Where an adult's age was placed on AGE_GRID.
struct AgeSnap {
  int row = 0;  ///< 0 … 14, reference age 15 + 5·row
  /// The theoretical value is the mean of this row and row − 1.
  bool blend_with_previous = false;
  std::string_view note;  ///< names the reference age of `row`
};

/// Where a height was placed: a column of MEN_PEF or WOMEN_PEF for an adult,
/// an index of CHILD_PEF for a child.
struct HeightSnap {
  int index = 0;
  std::string_view note;  ///< empty when there is no note to show

  [[nodiscard]] constexpr bool has_note() const noexcept { return !note.empty(); }
};

namespace detail {

/// Index of the grid value nearest to `value`, a value between the first and
/// the last grid value; a value midway between two grid values takes the
/// lower one.
template <std::size_t N>
[[nodiscard]] constexpr int nearest_index(const std::array<std::int32_t, N>& grid,
                                          std::int32_t value) noexcept {
  static_assert(N > 0);
  std::size_t i = 0;
  while (i + 1 < N && value - grid[i] > grid[i + 1] - value) {
    ++i;
  }
  return static_cast<int>(i);
}

struct AgePlace {
  std::uint8_t row = 0;
  bool blend_with_previous = false;
};

/// Where an age of AGE_GRID's span lies. Within one year of a reference age:
/// that age alone. Two or three years above one: the next reference age,
/// averaged with the one below it.
[[nodiscard]] constexpr AgePlace place_age(std::int32_t age) noexcept {
  constexpr std::int32_t step = 5;
  const std::int32_t offset = age % step;
  const bool between = offset == 2 || offset == 3;
  const std::int32_t reference = between ? age - offset + step : (age + 1) / step * step;
  return {static_cast<std::uint8_t>((reference - AGE_GRID.front()) / step), between};
}

[[nodiscard]] constexpr std::size_t adult_cell(int row, int column) noexcept {
  return static_cast<std::size_t>(row) * ADULT_TABLE_COLUMNS + static_cast<std::size_t>(column);
}

}  // namespace detail

/// Places an adult's age, in whole years, on AGE_GRID. Any integer is accepted:
/// ages below 15 are placed like 15, ages above 85 like 85.
[[nodiscard]] constexpr AgeSnap snap_age(std::int32_t age) noexcept {
  const detail::AgePlace place =
      detail::place_age(std::clamp(age, AGE_GRID.front(), AGE_GRID.back()));
  return {place.row, place.blend_with_previous, AGE_NOTES[place.row]};
}

/// Places an adult's height, in whole centimetres, on the height axis of the
/// category (`Man` or `Woman`). Any integer is accepted.
[[nodiscard]] constexpr HeightSnap snap_adult_height(PatientCategory category,
                                                     std::int32_t height) noexcept {
  assert(category != PatientCategory::Child);
  if (category == PatientCategory::Man) {
    const int column = detail::nearest_index(
        MEN_HEIGHT_GRID, std::clamp(height, MEN_HEIGHT_GRID.front(), MEN_HEIGHT_GRID.back()));
    return {column, MEN_HEIGHT_NOTES[static_cast<std::size_t>(column)]};
  }
  const int column = detail::nearest_index(
      WOMEN_HEIGHT_GRID, std::clamp(height, WOMEN_HEIGHT_GRID.front(), WOMEN_HEIGHT_GRID.back()));
  return {column, WOMEN_HEIGHT_NOTES[static_cast<std::size_t>(column)]};
}

/// Places a child's height, in whole centimetres, on CHILD_HEIGHT_GRID. Only a
/// height outside the axis gets a note. Any integer is accepted.
[[nodiscard]] constexpr HeightSnap snap_child_height(std::int32_t height) noexcept {
  if (height < CHILD_HEIGHT_GRID.front()) {
    return {0, CHILD_LOWEST_HEIGHT_NOTE};
  }
  if (height > CHILD_HEIGHT_GRID.back()) {
    return {static_cast<int>(CHILD_HEIGHT_GRID.size() - 1), CHILD_HIGHEST_HEIGHT_NOTE};
  }
  // The nearest multiple of 5; whole centimetres never fall midway.
  return {static_cast<int>((height - CHILD_HEIGHT_GRID.front() + 2) / 5), {}};
}

/// Theoretical value of an adult at (row, column) of the category's table.
/// With `blend_with_previous`, the integer mean (remainder dropped) of that
/// cell and the cell one row above. Takes exactly what snap_age and
/// snap_adult_height return: row 0 … 14, a column of the category's axis, and
/// the flag only with a row of 1 or more.
[[nodiscard]] constexpr std::int32_t adult_pef(PatientCategory category, int row, int column,
                                               bool blend_with_previous) noexcept {
  assert(category != PatientCategory::Child);
  assert(row >= 0 && row < static_cast<int>(AGE_GRID.size()));
  assert(column >= 0 &&
         column < static_cast<int>(category == PatientCategory::Man ? MEN_HEIGHT_GRID.size()
                                                                    : WOMEN_HEIGHT_GRID.size()));
  assert(!blend_with_previous || row >= 1);
  const AdultPefTable& table = category == PatientCategory::Man ? MEN_PEF : WOMEN_PEF;
  const std::int32_t cell = table[detail::adult_cell(row, column)];
  if (!blend_with_previous) {
    return cell;
  }
  return (cell + table[detail::adult_cell(row - 1, column)]) / 2;
}

/// Theoretical value of a child at `index` 0 … 16 of CHILD_PEF.
[[nodiscard]] constexpr std::int32_t child_pef(int index) noexcept {
  assert(index >= 0 && index < static_cast<int>(CHILD_PEF.size()));
  return CHILD_PEF[static_cast<std::size_t>(index)];
}

}  // namespace dep
