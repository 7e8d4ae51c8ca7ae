// Times two commands side by side: each run starts the command with standard
// input from a file and standard output to /dev/null, the two commands
// alternate, and the median wall times and their ratio are printed.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

namespace {

struct Command {
  std::string program;
  std::string input;  ///< file given as standard input
};

/// Wall time of one run, in microseconds; exits when the run fails.
double run_once(Command& command) {
  posix_spawn_file_actions_t actions{};
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, command.input.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  std::array<char*, 2> argv{command.program.data(), nullptr};
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const int spawned =
      posix_spawn(&pid, command.program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  if (spawned != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    (void)std::fprintf(stderr, "%s did not run cleanly\n", command.program.c_str());
    std::exit(2);
  }
  const auto end = std::chrono::steady_clock::now();
  return std::chrono::duration<double, std::micro>(end - start).count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  const std::span arguments(argv, static_cast<std::size_t>(argc));
  if (arguments.size() != 5) {
    (void)std::fprintf(stderr, "usage: %s RUNS INPUT PROGRAM BASELINE\n", arguments[0]);
    return 2;
  }
  const long runs = std::strtol(arguments[1], nullptr, 10);
  if (runs <= 0) {
    (void)std::fprintf(stderr, "RUNS must be a positive number\n");
    return 2;
  }
  Command program{arguments[3], arguments[2]};
  Command baseline{arguments[4], arguments[2]};
  constexpr int warm_up_runs = 20;
  for (int i = 0; i < warm_up_runs; ++i) {
    run_once(program);
    run_once(baseline);
  }
  std::vector<double> program_times;
  std::vector<double> baseline_times;
  for (long i = 0; i < runs; ++i) {
    program_times.push_back(run_once(program));
    baseline_times.push_back(run_once(baseline));
  }
  const double program_median = median(program_times);
  const double baseline_median = median(baseline_times);
  std::printf(
      "median wall time over %ld alternated runs: dep %.1f us, baseline %.1f us, ratio %.3f\n",
      runs, program_median, baseline_median, program_median / baseline_median);
  return 0;
}
