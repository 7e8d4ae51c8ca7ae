#include "consultation/memory_console.hpp"

namespace dep {

int MemoryConsole::get_byte(Reading reading) {
  if (position_ >= input_.size()) {
    ++end_reads_;
    return END_OF_INPUT;
  }
  if (position_ == 0 || input_[position_ - 1] == '\n') {
    line_readings_.push_back(reading);
  }
  return static_cast<unsigned char>(input_[position_++]);
}

void MemoryConsole::await_key() {
  ++key_waits_;
  output_at_key_ = output_.size();
}

}  // namespace dep
