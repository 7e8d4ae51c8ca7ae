#pragma once

#include <string_view>

#include "consultation/console.hpp"

namespace dep {

/// The console of the web page. Text goes straight into the page's
/// transcript; a read takes the bytes of the line the user sent and, once
/// they are used up, waits for the next line, telling the page whether a
/// number or a character is awaited; the key wait waits for one key pressed
/// on the page. The page never ends the input.
class BrowserConsole final : public Console {
 private:
  void put(std::string_view text) override;
  void flush() override {}
  int get_byte(Reading reading) override;
  void await_key() override;
};

}  // namespace dep
