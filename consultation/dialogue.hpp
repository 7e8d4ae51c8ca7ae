#pragma once

#include "consultation/console.hpp"

namespace dep {

/// Runs one consultation on `console`: asks the patient's category, age and
/// height, shows the reference point and the theoretical DEP, then reports the
/// measured DEP as a percentage of it and waits for one key. Stops right after
/// the measurement question when the measured value is 0 or cannot be read,
/// and right after the category question when the input ends there.
void run_consultation(Console& console);

}  // namespace dep
