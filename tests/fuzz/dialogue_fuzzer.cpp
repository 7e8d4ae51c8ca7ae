// Feeds arbitrary bytes as the clinician's answers to the real dialogue and
// checks what a clinician would see: only the dialogue's own texts, in an
// order the dialogue allows, theoretical values taken from the tables, and a
// percentage that follows from the theoretical value.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>

#include "consultation/dialogue.hpp"
#include "consultation/memory_console.hpp"
#include "reference/reference.hpp"

namespace {

using dep::PatientCategory;

void require(bool holds, const char* property) {
  if (!holds) {
    (void)std::fprintf(stderr, "broken property: %s\n", property);
    std::abort();
  }
}

/// Reads the output from the front.
class Cursor {
 public:
  explicit Cursor(std::string_view text) : rest_(text) {}

  bool take(std::string_view expected) {
    if (rest_.substr(0, expected.size()) != expected) {
      return false;
    }
    rest_.remove_prefix(expected.size());
    return true;
  }

  /// Digits with an optional minus sign, and optionally one decimal.
  std::string_view take_number(bool with_decimal) {
    std::size_t length = 0;
    if (length < rest_.size() && rest_[length] == '-') {
      ++length;
    }
    const std::size_t digits = length;
    while (length < rest_.size() && rest_[length] >= '0' && rest_[length] <= '9') {
      ++length;
    }
    if (length == digits) {
      return {};
    }
    if (with_decimal) {
      if (length + 1 >= rest_.size() || rest_[length] != '.' || rest_[length + 1] < '0' ||
          rest_[length + 1] > '9') {
        return {};
      }
      length += 2;
    }
    const std::string_view number = rest_.substr(0, length);
    rest_.remove_prefix(length);
    return number;
  }

  [[nodiscard]] bool at_end() const { return rest_.empty(); }

 private:
  std::string_view rest_;
};

std::int64_t to_integer(std::string_view digits) {
  return std::strtoll(std::string(digits).c_str(), nullptr, 10);
}

/// The number at the end of a note ("… 45 ans", "… 175", "… 180 cm").
std::int32_t named_reference(std::string_view note) {
  const std::size_t start = note.find("est ") + 4;
  return static_cast<std::int32_t>(to_integer(note.substr(start, 3)));
}

template <typename Notes>
std::string_view take_note(Cursor& cursor, const Notes& notes) {
  const auto taken = std::find_if(notes.begin(), notes.end(),
                                  [&cursor](std::string_view note) { return cursor.take(note); });
  return taken == notes.end() ? std::string_view{} : *taken;
}

template <typename Grid>
int index_of(const Grid& grid, std::int32_t value) {
  for (std::size_t i = 0; i < grid.size(); ++i) {
    if (grid[i] == value) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

/// Checks the adult part of the output; returns the theoretical value.
std::int32_t check_adult(Cursor& out, PatientCategory category) {
  require(out.take("Quel est l age de l individu ? "), "age question");
  const std::string_view age_note = take_note(out, dep::AGE_NOTES);
  require(!age_note.empty(), "an age note follows the age");
  require(out.take("\n\nQuel est la taille l individu ? (en cm) "), "adult height question");
  const bool man = category == PatientCategory::Man;
  const std::string_view height_note =
      man ? take_note(out, dep::MEN_HEIGHT_NOTES) : take_note(out, dep::WOMEN_HEIGHT_NOTES);
  require(!height_note.empty(), "a height note of the patient's sex follows the height");
  require(out.take("\nLa valeur theorique de la DEP est "), "adult value line");
  const std::int64_t value = to_integer(out.take_number(false));
  require(out.take(" L/Min"), "adult value unit");

  const int row = index_of(dep::AGE_GRID, named_reference(age_note));
  const int column = man ? index_of(dep::MEN_HEIGHT_GRID, named_reference(height_note))
                         : index_of(dep::WOMEN_HEIGHT_GRID, named_reference(height_note));
  require(row >= 0 && column >= 0, "notes name reference points");
  const dep::AdultPefTable& table = man ? dep::MEN_PEF : dep::WOMEN_PEF;
  const auto cell_at = [&table, column](int r) {
    return table[static_cast<std::size_t>(r) * 5 + static_cast<std::size_t>(column)];
  };
  const std::int32_t cell = cell_at(row);
  const bool is_cell = value == cell;
  const bool is_mean = row > 0 && value == (cell + cell_at(row - 1)) / 2;
  require(is_cell || is_mean, "adult value is the named cell or its mean with the row above");
  return static_cast<std::int32_t>(value);
}

/// Checks the child part of the output; returns the theoretical value.
std::int32_t check_child(Cursor& out) {
  require(out.take("Quel est la taille de l enfant ? (de 6 a 15 ans , en cm) "),
          "child height question");
  const bool lowest = out.take(dep::CHILD_LOWEST_HEIGHT_NOTE);
  const bool highest = !lowest && out.take(dep::CHILD_HIGHEST_HEIGHT_NOTE);
  require(out.take("\n \n La valeur theorique de la DEP est "), "child value line");
  const std::int64_t value = to_integer(out.take_number(false));
  if (lowest) {
    require(value == dep::CHILD_PEF.front(), "the 100 cm note gives the 100 cm value");
  } else if (highest) {
    require(value == dep::CHILD_PEF.back(), "the 180 cm note gives the 180 cm value");
  } else {
    require(index_of(dep::CHILD_PEF, static_cast<std::int32_t>(value)) >= 0,
            "child value is a table cell");
  }
  return static_cast<std::int32_t>(value);
}

/// Whether some non-zero 32-bit measured value gives `percentage` over
/// `theoretical` as the report prints it.
bool percentage_follows(std::string_view percentage, std::int32_t theoretical) {
  const double printed = std::strtod(std::string(percentage).c_str(), nullptr);
  const auto measured = std::llround(printed * theoretical / 100.0);
  for (long long candidate = measured - 2; candidate <= measured + 2; ++candidate) {
    if (candidate == 0 || candidate < std::numeric_limits<std::int32_t>::min() ||
        candidate > std::numeric_limits<std::int32_t>::max()) {
      continue;
    }
    const auto m = static_cast<std::int32_t>(candidate);
    std::array<char, 64> expected{};
    const int length =
        std::snprintf(expected.data(), expected.size(), "%.1f",
                      static_cast<double>(static_cast<float>(m)) /
                          static_cast<double>(static_cast<float>(theoretical)) * 100.0);
    if (length > 0 && percentage == expected.data()) {
      return true;
    }
  }
  return false;
}

void check_run(std::string_view input) {
  dep::MemoryConsole console(input);
  dep::run_consultation(console);
  Cursor out(console.output());

  require(console.consumed() <= input.size(), "no byte read past the input");
  require(console.end_of_input_reads() <= 3,
          "the end of the input is met at most once per question");

  // One question per category answer; the answers are the first input bytes.
  std::size_t answers = 0;
  while (out.take("Le patient est il un (H)omme , une (F)emme ou un (E)nfant ? ")) {
    require(out.take("\n"), "a line end follows each category answer");
    ++answers;
  }
  require(answers >= 1, "the run starts with the category question");
  if (out.at_end()) {
    require(answers == input.size() + 1, "the questions end only with the input");
    require(console.key_waits() == 0, "no key wait without a report");
    return;
  }
  require(answers <= input.size(), "one question per answer");
  for (std::size_t i = 0; i + 1 < answers; ++i) {
    const char c = input[i];
    require(std::string_view("HhFfEe").find(c) == std::string_view::npos,
            "only wrong letters bring the question back");
  }
  const char letter = input[answers - 1];
  const PatientCategory category = (letter == 'H' || letter == 'h')   ? PatientCategory::Man
                                   : (letter == 'F' || letter == 'f') ? PatientCategory::Woman
                                                                      : PatientCategory::Child;
  require(std::string_view("HhFfEe").find(letter) != std::string_view::npos,
          "a valid letter ends the category question");

  const std::int32_t theoretical =
      category == PatientCategory::Child ? check_child(out) : check_adult(out, category);
  require(theoretical > 0, "theoretical value is positive");
  require(out.take("\nEntrez le resultat du test DEP effectue sur le patient (0 pour quitter) "),
          "measurement question");
  if (out.at_end()) {
    require(console.key_waits() == 0, "no key wait after a measurement of 0 or none");
    return;
  }
  require(out.take("\nLa valeur mesuree correspond a "), "report");
  const std::string_view percentage = out.take_number(true);
  require(!percentage.empty(), "report has a one-decimal percentage");
  require(out.take(" % de la valeur theorique"), "report ends with the percent sign");
  require(out.at_end(), "nothing follows the report");
  require(percentage_follows(percentage, theoretical),
          "percentage is a measured value over the theoretical value");
  require(console.key_waits() == 1, "exactly one key wait after the report");
  require(console.output_size_at_key_wait() == console.output().size(), "the key wait comes last");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast): libFuzzer hands out bytes
  check_run({reinterpret_cast<const char*>(data), size});
  return 0;
}
