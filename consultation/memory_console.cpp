#include "consultation/memory_console.hpp"

namespace dep {

int MemoryConsole::get_byte() {
  if (position_ >= input_.size()) {
    ++end_reads_;
    return kEndOfInput;
  }
  return static_cast<unsigned char>(input_[position_++]);
}

void MemoryConsole::await_key() {
  ++key_waits_;
  output_at_key_ = output_.size();
}

}  // namespace dep
