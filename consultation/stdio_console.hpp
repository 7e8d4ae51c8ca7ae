#pragma once

#include <string_view>

#include "consultation/console.hpp"

namespace dep {

/// The program's console: standard output, standard input, and key presses
/// from the terminal when standard input is one.
class StdioConsole final : public Console {
 private:
  void put(std::string_view text) override;
  void flush() override;
  int get_byte() override;
  void await_key() override;
};

}  // namespace dep
