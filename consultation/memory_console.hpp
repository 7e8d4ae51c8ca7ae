#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "consultation/console.hpp"

namespace dep {

/// A console over a fixed input and a captured output, for driving the
/// dialogue without a process or a terminal. It has no keys: a key wait is
/// only recorded.
class MemoryConsole final : public Console {
 public:
  /// `input` must outlive the console.
  explicit MemoryConsole(std::string_view input) : input_(input) {}

  /// Everything written so far, byte for byte.
  [[nodiscard]] const std::string& output() const noexcept { return output_; }
  /// Input bytes fetched so far; a byte an integer read pushed back counts as fetched.
  [[nodiscard]] std::size_t consumed() const noexcept { return position_; }
  /// How many reads met the end of the input.
  [[nodiscard]] std::size_t end_of_input_reads() const noexcept { return end_reads_; }
  [[nodiscard]] int key_waits() const noexcept { return key_waits_; }
  /// What the dialogue was reading when it fetched the first byte of each
  /// input line, where a console with a field to type in waits for the line.
  [[nodiscard]] const std::vector<Reading>& line_readings() const noexcept {
    return line_readings_;
  }
  /// Size of the output when the last key wait began; only meaningful when
  /// key_waits() > 0.
  [[nodiscard]] std::size_t output_size_at_key_wait() const noexcept { return output_at_key_; }

 private:
  void put(std::string_view text) override { output_.append(text); }
  void flush() override {}
  int get_byte(Reading reading) override;
  void await_key() override;

  std::string_view input_;
  std::size_t position_ = 0;
  std::size_t end_reads_ = 0;
  std::string output_;
  int key_waits_ = 0;
  std::vector<Reading> line_readings_;
  std::size_t output_at_key_ = 0;
};

}  // namespace dep
