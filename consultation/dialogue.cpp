#include "consultation/dialogue.hpp"

#include <array>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>

#include "reference/reference.hpp"

namespace dep {
namespace {

constexpr const char* CATEGORY_QUESTION =
    "Le patient est il un (H)omme , une (F)emme ou un (E)nfant ? ";
constexpr const char* AGE_QUESTION = "Quel est l age de l individu ? ";
constexpr const char* ADULT_HEIGHT_QUESTION = "\n\nQuel est la taille l individu ? (en cm) ";
constexpr const char* CHILD_HEIGHT_QUESTION =
    "Quel est la taille de l enfant ? (de 6 a 15 ans , en cm) ";
constexpr const char* MEASUREMENT_QUESTION =
    "\nEntrez le resultat du test DEP effectue sur le patient (0 pour quitter) ";
constexpr const char* CHILD_VALUE_LEAD = "\n \n ";

/// Writes one printf-formatted line. Every line of the dialogue fits the
/// buffer many times over; a formatting failure writes nothing.
[[gnu::format(printf, 2, 3)]] void print(Console& console, const char* format, ...) {
  std::array<char, 160> line{};
  std::va_list arguments;
  va_start(arguments, format);
  const int length = std::vsnprintf(line.data(), line.size(), format, arguments);
  va_end(arguments);
  if (length > 0) {
    const auto size = static_cast<std::size_t>(length);
    console.write({line.data(), size < line.size() ? size : line.size() - 1});
  }
}

std::optional<PatientCategory> category_of(int answer) {
  switch (answer) {
    case 'H':
    case 'h':
      return PatientCategory::Man;
    case 'F':
    case 'f':
      return PatientCategory::Woman;
    case 'E':
    case 'e':
      return PatientCategory::Child;
    default:
      return std::nullopt;
  }
}

/// Asks until a valid letter comes; nothing when the input ends first.
std::optional<PatientCategory> ask_category(Console& console) {
  for (;;) {
    console.write(CATEGORY_QUESTION);
    const int answer = console.read_char();
    console.write("\n");
    if (answer == Console::END_OF_INPUT) {
      return std::nullopt;
    }
    if (const auto category = category_of(answer)) {
      return category;
    }
  }
}

std::int32_t adult_theoretical_value(Console& console, PatientCategory category) {
  std::int32_t age = 0;
  console.write(AGE_QUESTION);
  console.read_int(age);
  const AgeSnap age_snap = snap_age(age);
  console.write(age_snap.note);

  std::int32_t height = 0;
  console.write(ADULT_HEIGHT_QUESTION);
  console.read_int(height);
  const HeightSnap height_snap = snap_adult_height(category, height);
  console.write(height_snap.note);

  const std::int32_t value =
      adult_pef(category, age_snap.row, height_snap.index, age_snap.blend_with_previous);
  print(console, "\nLa valeur theorique de la DEP est %d L/Min", value);
  return value;
}

std::int32_t child_theoretical_value(Console& console) {
  std::int32_t height = 0;
  console.write(CHILD_HEIGHT_QUESTION);
  console.read_int(height);
  const HeightSnap snap = snap_child_height(height);
  if (snap.has_note()) {
    console.write(snap.note);
  }
  const std::int32_t value = child_pef(snap.index);
  console.write(CHILD_VALUE_LEAD);
  print(console, "La valeur theorique de la DEP est %d", value);
  return value;
}

}  // namespace

void run_consultation(Console& console) {
  const std::optional<PatientCategory> category = ask_category(console);
  if (!category) {
    return;
  }
  const std::int32_t theoretical = *category == PatientCategory::Child
                                       ? child_theoretical_value(console)
                                       : adult_theoretical_value(console, *category);

  // An unreadable measurement keeps the preset 0, which ends the run like a 0.
  std::int32_t measured = 0;
  console.write(MEASUREMENT_QUESTION);
  console.read_int(measured);
  if (measured == 0) {
    return;
  }
  // The values pass through single precision before the division, which is
  // done in double precision.
  const double percentage = static_cast<double>(static_cast<float>(measured)) /
                            static_cast<double>(static_cast<float>(theoretical)) * 100.0;
  print(console, "\nLa valeur mesuree correspond a %.1f %c de la valeur theorique", percentage,
        '%');
  console.wait_key();
}

}  // namespace dep
