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

/// Runs `per_patient` over every grid point, summing what it returns.
template <typename PerPatient>
void over_every_grid_point(benchmark::State& state, PerPatient per_patient) {
  const std::vector<Patient> patients = every_grid_point();
  for (auto _ : state) {
    // The patients are read anew each time, so nothing is carried over.
    benchmark::DoNotOptimize(patients.data());
    benchmark::ClobberMemory();
    std::int64_t total = 0;
    for (const Patient& patient : patients) {
      total += per_patient(patient);
    }
    benchmark::DoNotOptimize(total);
  }
  state.counters["time_per_patient"] = benchmark::Counter(
      static_cast<double>(patients.size()),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_SnapAndLookUpEveryGridPoint(benchmark::State& state) {
  over_every_grid_point(state, theoretical_value);
}
BENCHMARK(BM_SnapAndLookUpEveryGridPoint);

/// The loop alone, reading each patient's height: what the machine charges
/// before any snapping or lookup.
void BM_ReadEveryGridPointOnly(benchmark::State& state) {
  over_every_grid_point(state, [](const Patient& patient) { return patient.height; });
}
BENCHMARK(BM_ReadEveryGridPointOnly);

}  // namespace
