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
std::string report(const std::string& percentage) {
  return "\nLa valeur mesuree correspond a " + percentage + " % de la valeur theorique";
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

TEST(Dialogue, WorkedExampleOfAManOf42YearsAnd178Cm) {
  const Transcript run = consult("H\n42\n178\n480\n");
  EXPECT_EQ(run.output, adult_until_measurement(45, 175, 631) + report("76.1"));
  EXPECT_EQ(run.key_waits, 1);
  EXPECT_TRUE(run.key_wait_last);
}

TEST(Dialogue, LowerCaseLettersAndOneLineAnswersGiveTheSameRun) {
  const std::string expected = adult_until_measurement(45, 175, 631) + report("76.1");
  EXPECT_EQ(consult("h\n42\n178\n480\n").output, expected);
  EXPECT_EQ(consult("H 42 178 480\n").output, expected);
  EXPECT_EQ(consult("H42 178 480").output, expected);

  const std::string woman = adult_until_measurement(20, 152, 450) + report("88.9");
  EXPECT_EQ(consult("F\n17\n150\n400\n").output, woman);
  EXPECT_EQ(consult("f 17 150 400").output, woman);

  const std::string child = child_until_measurement("", 283) + report("106.0");
  EXPECT_EQ(consult("E\n137\n300\n").output, child);
  EXPECT_EQ(consult("e 137 300").output, child);
}

TEST(Dialogue, WrongCategoryAnswersBringTheQuestionBackOnePerCharacter) {
  // "x" and Enter: two rejected characters, then the input ends.
  EXPECT_EQ(consult("x\n").output, category() + "\n" + category() + "\n" + category() + "\n");
  // x directly followed by H: rejected once, then a man.
  EXPECT_EQ(consult("xH 42 178 480").output,
            category() + "\n" + adult_until_measurement(45, 175, 631) + report("76.1"));
  // A blank before the letter is an answer of its own.
  EXPECT_EQ(consult(" E 137 300").output,
            category() + "\n" + child_until_measurement("", 283) + report("106.0"));
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

TEST(Dialogue, TheWholeWordHommeIsAManWhoseNumbersCannotBeRead) {
  // "omme" stops the age, height and measurement reads: presets 0 give the
  // 15-year row and 160 cm, and the unreadable measurement ends the run.
  const Transcript run = consult("Homme\n42\n178\n480\n");
  EXPECT_EQ(run.output, adult_until_measurement(15, 160, 530));
  EXPECT_EQ(run.key_waits, 0);
}

TEST(Dialogue, WomenAreReadFromTheirOwnTable) {
  // 185 cm is above her axis: the single note for 175 and her 175 cm value.
  EXPECT_EQ(consult("F 30 185 255").output, adult_until_measurement(30, 175, 510) + report("50.0"));
  EXPECT_EQ(consult("F 85 200 190").output, adult_until_measurement(85, 175, 380) + report("50.0"));
  // A lone sign as the age is consumed; the height is read after it.
  EXPECT_EQ(consult("F - 178 400").output, adult_until_measurement(15, 175, 474) + report("84.4"));
}

TEST(Dialogue, ChildrenAreAskedOnlyTheirHeight) {
  // Inside the axis there is no note at all.
  EXPECT_EQ(consult("E 102 124").output, child_until_measurement("", 124) + report("100.0"));
  EXPECT_EQ(consult("E 190 488").output,
            child_until_measurement(child_note(180), 488) + report("100.0"));
  // An unreadable height keeps 0: the lowest height, with its note.
  EXPECT_EQ(consult("E abc").output, child_until_measurement(child_note(100), 124));
}

TEST(Dialogue, AMeasuredValueOfZeroOrNoneEndsTheRunAtOnce) {
  const std::string until_measurement = adult_until_measurement(45, 175, 631);
  for (const std::string_view input :
       {"H 42 178 0\n", "H 42 178 -0", "H 42 178 x", "H 42 178 ", "H 42 178 -\n"}) {
    const Transcript run = consult(input);
    EXPECT_EQ(run.output, until_measurement) << input;
    EXPECT_EQ(run.key_waits, 0) << input;
  }
}

TEST(Dialogue, PercentagesFollowTheMeasuredValueWhateverItIs) {
  // A negative measurement: -100 against 500 (a woman of 40 and 175 cm).
  EXPECT_EQ(consult("F 40 175 -100").output,
            adult_until_measurement(40, 175, 500) + report("-20.0"));
  // Above the measured value's 32-bit range, the value saturates first.
  EXPECT_EQ(consult("H 42 178 99999999999").output,
            adult_until_measurement(45, 175, 631) + report("340330213.6"));
  EXPECT_EQ(consult("H 42 178 -99999999999").output,
            adult_until_measurement(45, 175, 631) + report("-340330213.6"));
  // The measured value passes through single precision: 16777217 becomes
  // 16777216 before it is divided by 124.
  EXPECT_EQ(consult("E 50 16777217").output,
            child_until_measurement(child_note(100), 124) + report("13530012.9"));
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

TEST(Dialogue, TheInputEndingAtTheCategoryQuestionEndsTheRun) {
  const Transcript empty = consult("");
  EXPECT_EQ(empty.output, category() + "\n");
  EXPECT_EQ(empty.key_waits, 0);
  EXPECT_EQ(consult("zz").output, category() + "\n" + category() + "\n" + category() + "\n");
}

TEST(Dialogue, TheInputEndingAtTheAgeOrHeightKeepsThePresets) {
  EXPECT_EQ(consult("H").output, adult_until_measurement(15, 160, 530));
  EXPECT_EQ(consult("F 42").output, adult_until_measurement(45, 152, 454));
  EXPECT_EQ(consult("E").output, child_until_measurement(child_note(100), 124));
}

}  // namespace
}  // namespace dep
