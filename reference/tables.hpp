#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace dep {

// The theoretical peak expiratory flow (DEP) in L/min. Every cell of the adult
// tables lies within 15 L/min (5 L/min on average) of Nunn and Gregg's
// regression equations (BMJ 1989;298:1068-70), made with meters on the Wright
// scale; a meter on the EU scale (EN 13826, EN ISO 23747) reads lower in the
// middle of the range. The children's table rises in a straight line with
// height, about 4.55 L/min per cm from 124 L/min at 100 cm; where it comes
// from is not known to us.

/// Reference ages of both adult tables: row r stands for 15 + 5·r years.
inline constexpr std::array<std::int32_t, 15> AGE_GRID{15, 20, 25, 30, 35, 40, 45, 50,
                                                       55, 60, 65, 70, 75, 80, 85};

/// Reference heights (cm) of the men's columns; the steps are uneven.
inline constexpr std::array<std::int32_t, 5> MEN_HEIGHT_GRID{160, 167, 175, 183, 190};

/// Reference heights (cm) of the women's columns.
inline constexpr std::array<std::int32_t, 4> WOMEN_HEIGHT_GRID{152, 160, 167, 175};

/// Reference heights (cm) of the children's table: index i stands for 100 + 5·i.
inline constexpr std::array<std::int32_t, 17> CHILD_HEIGHT_GRID{
    100, 105, 110, 115, 120, 125, 130, 135, 140, 145, 150, 155, 160, 165, 170, 175, 180};

inline constexpr std::size_t ADULT_TABLE_COLUMNS = 5;

/// 15 age rows × 5 height columns, row by row: cell (r, c) is element r·5 + c.
using AdultPefTable = std::array<std::int32_t, AGE_GRID.size() * ADULT_TABLE_COLUMNS>;

/// Theoretical peak expiratory flow of men (L/min).
inline constexpr AdultPefTable MEN_PEF{
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

/// Theoretical peak expiratory flow of women (L/min). Only columns 0 … 3 carry
/// values; the fifth column is 0 and is never read.
inline constexpr AdultPefTable WOMEN_PEF{
    // 152  160  167  175 cm
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

/// Theoretical peak expiratory flow of children of 6 to 15 years (L/min), by
/// the heights of CHILD_HEIGHT_GRID.
inline constexpr std::array<std::int32_t, CHILD_HEIGHT_GRID.size()> CHILD_PEF{
    124, 146, 169, 192, 215, 237, 260, 283, 306, 329, 351, 374, 397, 420, 442, 465, 488};

/// The note shown for each reference age, aligned with AGE_GRID.
inline constexpr std::array<std::string_view, AGE_GRID.size()> AGE_NOTES{
    "l age le plus proche est 15 ans", "l age le plus proche est 20 ans",
    "l age le plus proche est 25 ans", "l age le plus proche est 30 ans",
    "l age le plus proche est 35 ans", "l age le plus proche est 40 ans",
    "l age le plus proche est 45 ans", "l age le plus proche est 50 ans",
    "l age le plus proche est 55 ans", "l age le plus proche est 60 ans",
    "l age le plus proche est 65 ans", "l age le plus proche est 70 ans",
    "l age le plus proche est 75 ans", "l age le plus proche est 80 ans",
    "l age le plus proche est 85 ans",
};

/// The note shown for each men's reference height, aligned with MEN_HEIGHT_GRID.
inline constexpr std::array<std::string_view, MEN_HEIGHT_GRID.size()> MEN_HEIGHT_NOTES{
    "la taille la plus proche est 160", "la taille la plus proche est 167",
    "la taille la plus proche est 175", "la taille la plus proche est 183",
    "la taille la plus proche est 190",
};

/// The note shown for each women's reference height, aligned with WOMEN_HEIGHT_GRID.
inline constexpr std::array<std::string_view, WOMEN_HEIGHT_GRID.size()> WOMEN_HEIGHT_NOTES{
    "la taille la plus proche est 152",
    "la taille la plus proche est 160",
    "la taille la plus proche est 167",
    "la taille la plus proche est 175",
};

/// Notes for a child placed on an end of the axis from outside it.
inline constexpr std::string_view CHILD_LOWEST_HEIGHT_NOTE = "La taille la plus proche est 100 cm";
inline constexpr std::string_view CHILD_HIGHEST_HEIGHT_NOTE = "La taille la plus proche est 180 cm";

}  // namespace dep
