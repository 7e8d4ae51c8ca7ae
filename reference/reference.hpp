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

/// Number of whole values from the first value of `grid` to its last.
template <std::size_t N>
[[nodiscard]] constexpr std::size_t span_of(const std::array<std::int32_t, N>& grid) noexcept {
  return static_cast<std::size_t>(grid.back() - grid.front()) + 1;
}

/// The index nearest_index gives each whole value of the axis `grid`, from its
/// first value to its last.
template <std::size_t Span, std::size_t N>
[[nodiscard]] constexpr std::array<std::uint8_t, Span> nearest_indices(
    const std::array<std::int32_t, N>& grid) noexcept {
  std::array<std::uint8_t, Span> indices{};
  for (std::size_t i = 0; i < Span; ++i) {
    indices[i] =
        static_cast<std::uint8_t>(nearest_index(grid, grid.front() + static_cast<std::int32_t>(i)));
  }
  return indices;
}

inline constexpr auto kMenColumns = nearest_indices<span_of(MEN_HEIGHT_GRID)>(MEN_HEIGHT_GRID);
inline constexpr auto kWomenColumns =
    nearest_indices<span_of(WOMEN_HEIGHT_GRID)>(WOMEN_HEIGHT_GRID);

/// nearest_index(grid, value) read from the precomputed `indices` of `grid`;
/// values beyond the axis take its ends.
template <std::size_t N, std::size_t Span>
[[nodiscard]] constexpr int nearest_index_on_axis(const std::array<std::int32_t, N>& grid,
                                                  const std::array<std::uint8_t, Span>& indices,
                                                  std::int32_t value) noexcept {
  const std::int32_t on_axis = std::clamp(value, grid.front(), grid.back());
  return indices[static_cast<std::size_t>(on_axis - grid.front())];
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

/// place_age of every age from the first reference age to the last.
[[nodiscard]] constexpr std::array<AgePlace, span_of(AGE_GRID)> age_places() noexcept {
  std::array<AgePlace, span_of(AGE_GRID)> places{};
  for (std::size_t i = 0; i < places.size(); ++i) {
    places[i] = place_age(AGE_GRID.front() + static_cast<std::int32_t>(i));
  }
  return places;
}

inline constexpr auto kAgePlaces = age_places();

[[nodiscard]] constexpr std::size_t adult_cell(int row, int column) noexcept {
  return static_cast<std::size_t>(row) * kAdultTableColumns + static_cast<std::size_t>(column);
}

}  // namespace detail

/// Places an adult's age, in whole years, on AGE_GRID. Any integer is accepted:
/// ages below 15 are placed like 15, ages above 85 like 85.
[[nodiscard]] constexpr AgeSnap snap_age(std::int32_t age) noexcept {
  const std::int32_t on_axis = std::clamp(age, AGE_GRID.front(), AGE_GRID.back());
  const detail::AgePlace place =
      detail::kAgePlaces[static_cast<std::size_t>(on_axis - AGE_GRID.front())];
  return {place.row, place.blend_with_previous, AGE_NOTES[place.row]};
}

/// Places an adult's height, in whole centimetres, on the height axis of the
/// category (`Man` or `Woman`). Any integer is accepted.
[[nodiscard]] constexpr HeightSnap snap_adult_height(PatientCategory category,
                                                     std::int32_t height) noexcept {
  assert(category != PatientCategory::Child);
  if (category == PatientCategory::Man) {
    const int column = detail::nearest_index_on_axis(MEN_HEIGHT_GRID, detail::kMenColumns, height);
    return {column, MEN_HEIGHT_NOTES[static_cast<std::size_t>(column)]};
  }
  const int column =
      detail::nearest_index_on_axis(WOMEN_HEIGHT_GRID, detail::kWomenColumns, height);
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
