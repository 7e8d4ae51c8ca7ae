#include "consultation/dialogue.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "consultation/memory_console.hpp"

namespace dep {
namespace {

// The dialogue's texts, as the clinician sees them.
std::string category() { return "Le patient est il un (H)omme , une (F)emme ou un (E)nfant ? "; }
std::string age_question() { return "Quel est l age de l individu ? "; }
std::string adult_height() { return "\n\nQuel est la taille l individu ? (en cm) "; }
std::string child_height() { return "Quel est la taille de l enfant ? (de 6 a 15 ans , en cm) "; }
std::string measurement() {
  return "\nEntrez le resultat du test DEP effectue sur le patient (0 pour quitter) ";
}

std::string age_note(int years) {
  return "l age le plus proche est " + std::to_string(years) + " ans";
}
std::string height_note(int cm) { return "la taille la plus proche est " + std::to_string(cm); }
std::string child_note(int cm) {
  return "La taille la plus proche est " + std::to_string(cm) + " cm";
}
std::string adult_value(int value) {
  return "\nLa valeur theorique de la DEP est " + std::to_string(value) + " L/Min";
}
std::string child_value(int value) {
  return "\n \n La valeur theorique de la DEP est " + std::to_string(value);
}
constexpr std::string_view REPORT = "\nLa valeur mesuree correspond a ";
std::string report(const std::string& percentage) {
  return std::string(REPORT) + percentage + " % de la valeur theorique";
}

struct Transcript {
  std::string output;
  int key_waits = 0;
  bool key_wait_last = false;  // nothing was written after the key wait began
};

Transcript consult(std::string_view input) {
  MemoryConsole console(input);
  run_consultation(console);
  return {console.output(), console.key_waits(),
          console.key_waits() > 0 && console.output_size_at_key_wait() == console.output().size()};
}

// The adult dialogue up to the measurement question.
std::string adult_until_measurement(int age_reference, int height_reference, int value) {
  return category() + "\n" + age_question() + age_note(age_reference) + adult_height() +
         height_note(height_reference) + adult_value(value) + measurement();
}

// The child dialogue up to the measurement question; `note` is empty inside
// the height axis.
std::string child_until_measurement(const std::string& note, int value) {
  return category() + "\n" + child_height() + note + child_value(value) + measurement();
}

struct Case {
  std::string_view what;
  std::string_view input;
  std::string transcript;
};

// Each run waits for one key after its report, and only then: the key wait
// is the last thing it does.
TEST(Dialogue, EachInputGivesItsTranscript) {
  const std::string man_42_178 = adult_until_measurement(45, 175, 631);
  const std::string again = category() + "\n";
  const std::vector<Case> cases{
      {"the worked example", "H\n42\n178\n480\n", man_42_178 + report("76.1")},
      {"a lower-case letter", "h\n42\n178\n480\n", man_42_178 + report("76.1")},
      {"answers on one line", "H 42 178 480\n", man_42_178 + report("76.1")},
      {"the age right after the letter", "H42 178 480", man_42_178 + report("76.1")},
      {"a woman", "F\n17\n150\n400\n", adult_until_measurement(20, 152, 450) + report("88.9")},
      {"a woman, on one line", "f 17 150 400",
       adult_until_measurement(20, 152, 450) + report("88.9")},
      {"a child", "E\n137\n300\n", child_until_measurement("", 283) + report("106.0")},
      {"a child, on one line", "e 137 300", child_until_measurement("", 283) + report("106.0")},
      // A wrong answer brings the question back once per character, Enter included.
      {"x and Enter, then the end", "x\n", again + again + again},
      {"x right before H", "xH 42 178 480", again + man_42_178 + report("76.1")},
      {"a blank before the letter", " E 137 300",
       again + child_until_measurement("", 283) + report("106.0")},
      // "omme" stops the age, height and measurement reads: presets 0 give the
      // 15-year row and 160 cm, and the unreadable measurement ends the run.
      {"the whole word Homme", "Homme\n42\n178\n480\n", adult_until_measurement(15, 160, 530)},
      // A woman above her height axis: the single note for 175 and her 175 cm value.
      {"a woman of 185 cm", "F 30 185 255", adult_until_measurement(30, 175, 510) + report("50.0")},
      {"a woman of 85 and 200 cm", "F 85 200 190",
       adult_until_measurement(85, 175, 380) + report("50.0")},
      // A lone sign as the age is consumed; the height is read after it.
      {"a sign as the age", "F - 178 400", adult_until_measurement(15, 175, 474) + report("84.4")},
      // Inside the children's axis there is no note at all.
      {"a child inside the axis", "E 102 124", child_until_measurement("", 124) + report("100.0")},
      {"a child above the axis", "E 190 488",
       child_until_measurement(child_note(180), 488) + report("100.0")},
      {"an unreadable child height keeps 0", "E abc",
       child_until_measurement(child_note(100), 124)},
      // A measured value of zero, or none, ends the run at once.
      {"0 measured", "H 42 178 0\n", man_42_178},
      {"-0 measured", "H 42 178 -0", man_42_178},
      {"a letter measured", "H 42 178 x", man_42_178},
      {"nothing measured", "H 42 178 ", man_42_178},
      {"a sign measured", "H 42 178 -\n", man_42_178},
      // The percentage follows the measured value, whatever it is.
      {"a negative value", "F 40 175 -100",
       adult_until_measurement(40, 175, 500) + report("-20.0")},
      // Beyond its 32-bit range, the measured value saturates first.
      {"a value too large", "H 42 178 99999999999", man_42_178 + report("340330213.6")},
      {"a value too small", "H 42 178 -99999999999", man_42_178 + report("-340330213.6")},
      // The measured value passes through single precision: 16777217 becomes
      // 16777216 before it is divided by 124.
      {"a value beyond single precision", "E 50 16777217",
       child_until_measurement(child_note(100), 124) + report("13530012.9")},
      // The input ending early: the category question ends the run; the age
      // and the height keep their presets.
      {"no input", "", again},
      {"two wrong letters", "zz", again + again + again},
      {"a man, then nothing", "H", adult_until_measurement(15, 160, 530)},
      {"a woman's age, then nothing", "F 42", adult_until_measurement(45, 152, 454)},
      {"a child, then nothing", "E", child_until_measurement(child_note(100), 124)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Transcript run = consult(c.input);
    EXPECT_EQ(run.output, c.transcript);
    const bool reported = c.transcript.find(REPORT) != std::string::npos;
    EXPECT_EQ(run.key_waits, reported ? 1 : 0);
    EXPECT_EQ(run.key_wait_last, reported);
  }
}

TEST(Dialogue, ReadsTheCategoryAsACharacterAndEveryOtherAnswerAsANumber) {
  using enum Console::Reading;
  const auto readings = [](std::string_view input) {
    MemoryConsole console(input);
    run_consultation(console);
    return console.line_readings();
  };
  // Each line of answers, read as the dialogue reads its first byte.
  EXPECT_EQ(readings("H\n42\n178\n480\n"), (std::vector{Character, Number, Number, Number}));
  EXPECT_EQ(readings("x\nE\n\n137\n\n300\n"),
            (std::vector{Character, Character, Number, Number, Number, Number}));
  EXPECT_EQ(readings("F 17\n\n150 400\n"), (std::vector{Character, Number, Number}));
}

TEST(Dialogue, AnExactHalfIsRoundedAsTheFormatterRoundsIt) {
  // 49 against 400 (a woman of 75 years and 167 cm) is 12.25: one decimal
  // may go either way, but only to one of its two neighbours.
  const std::string output = consult("F 75 167 49").output;
  const std::string until_measurement = adult_until_measurement(75, 167, 400);
  EXPECT_TRUE(output == until_measurement + report("12.2") ||
              output == until_measurement + report("12.3"))
      << output;
}

}  // namespace
}  // namespace dep
