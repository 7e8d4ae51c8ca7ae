// One whole consultation through the real dialogue, on the in-memory console.

#include <benchmark/benchmark.h>

#include <string_view>

#include "consultation/dialogue.hpp"
#include "consultation/memory_console.hpp"

namespace {

// The loop needs a mutable state, whatever cppcheck says.
// cppcheck-suppress constParameter
void consult(benchmark::State& state, std::string_view answers) {
  for (auto _ : state) {
    dep::MemoryConsole console(answers);
    dep::run_consultation(console);
    benchmark::DoNotOptimize(console.output().data());
  }
}

void BM_ConsultationOfAMan(benchmark::State& state) { consult(state, "H\n42\n178\n480\n"); }
BENCHMARK(BM_ConsultationOfAMan);

void BM_ConsultationOfAChild(benchmark::State& state) { consult(state, "E\n137\n300\n"); }
BENCHMARK(BM_ConsultationOfAChild);

}  // namespace

BENCHMARK_MAIN();
