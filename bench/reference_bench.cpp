// Placing a patient on the grid and reading the theoretical value.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "reference/reference.hpp"

namespace {

struct Patient {
  dep::PatientCategory category;
  std::int32_t age;
  std::int32_t height;
};

/// Every adult age of the axis (in-between ages included) at every reference
/// height of each sex, and every children's reference height.
std::vector<Patient> every_grid_point() {
  std::vector<Patient> patients;
  for (std::int32_t age = dep::AGE_GRID.front(); age <= dep::AGE_GRID.back(); ++age) {
    for (const std::int32_t height : dep::MEN_HEIGHT_GRID) {
      patients.push_back({dep::PatientCategory::Man, age, height});
    }
    for (const std::int32_t height : dep::WOMEN_HEIGHT_GRID) {
      patients.push_back({dep::PatientCategory::Woman, age, height});
    }
  }
  for (const std::int32_t height : dep::CHILD_HEIGHT_GRID) {
    patients.push_back({dep::PatientCategory::Child, 0, height});
  }
  return patients;
}

std::int32_t theoretical_value(const Patient& patient) {
  if (patient.category == dep::PatientCategory::Child) {
    return dep::child_pef(dep::snap_child_height(patient.height).index);
  }
  const dep::AgeSnap age = dep::snap_age(patient.age);
  const dep::HeightSnap height = dep::snap_adult_height(patient.category, patient.height);
  return dep::adult_pef(patient.category, age.row, height.index, age.blend_with_previous);
}

void BM_SnapAndLookUpEveryGridPoint(benchmark::State& state) {
  const std::vector<Patient> patients = every_grid_point();
  for (auto _ : state) {
    for (const Patient& patient : patients) {
      // Hide the patient from the optimiser so that nothing is folded away.
      Patient seen = patient;
      benchmark::DoNotOptimize(seen);
      benchmark::DoNotOptimize(theoretical_value(seen));
    }
  }
  state.counters["time_per_patient"] = benchmark::Counter(
      static_cast<double>(patients.size()),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SnapAndLookUpEveryGridPoint);

}  // namespace
