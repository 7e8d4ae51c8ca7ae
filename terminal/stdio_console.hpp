#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "consultation/console.hpp"

namespace dep {

/// A standard stream that the system refused to read or write.
struct ConsoleFailure {
  enum class Stream : std::uint8_t { Output, Input };
  Stream stream = Stream::Output;
  int error = 0;  ///< the errno value that gives the system's reason
};

/// The program's console: standard output, standard input, and key presses
/// from the terminal or Windows console when standard input is one.
///
/// A stream that fails does not stop the dialogue, which has no one to tell:
/// output goes on being attempted, and a failed read counts as the end of the
/// input from then on. The first failure of each stream is kept for finish().
class StdioConsole final : public Console {
 public:
  /// Shows what is still pending, then gives the failure met during the run:
  /// the output's when it failed, otherwise the input's; nothing when both
  /// worked.
  [[nodiscard]] std::optional<ConsoleFailure> finish();

 private:
  void put(std::string_view text) override;
  void flush() override;
  int get_byte(Reading reading) override;
  void await_key() override;

  void note_output_failure(int error);

  std::optional<int> output_error_;
  std::optional<int> input_error_;
};

}  // namespace dep
