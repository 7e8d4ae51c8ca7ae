#pragma once

#include <cstdint>
#include <string_view>

namespace dep {

/// The dialogue's only way to the world: text out, bytes and integers in, and
/// one key press. A concrete console supplies the four private primitives; the
/// reading rules built on them are shared, so every console reads alike.
class Console {
 public:
  /// What read_char returns once the input is exhausted.
  static constexpr int END_OF_INPUT = -1;

  /// What the dialogue is reading when it asks for the next byte: a character
  /// (the category's letter) or a number. A console may fit its input to it.
  enum class Reading : std::uint8_t { Character, Number };

  Console() = default;
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;
  Console(Console&&) = delete;
  Console& operator=(Console&&) = delete;

  /// Queues text for output. Everything written is shown before the next read
  /// or key wait begins.
  void write(std::string_view text) { put(text); }

  /// The next input byte (0 … 255) whatever it is, blank and line end
  /// included, or END_OF_INPUT.
  int read_char();

  /// Reads a decimal integer: skips blanks and line ends, takes an optional
  /// sign, then digits. With no digit it returns false and leaves `value`
  /// untouched; the skipped blanks and a sign stay consumed and the first
  /// other byte stays in the input. A number beyond the 32-bit range
  /// saturates, and all of its digits are consumed.
  bool read_int(std::int32_t& value);

  /// Shows pending output, then waits for one new key press where the console
  /// has keys to press.
  void wait_key();

 protected:
  ~Console() = default;

 private:
  virtual void put(std::string_view text) = 0;
  virtual void flush() = 0;
  /// Next byte of the input, or END_OF_INPUT.
  virtual int get_byte(Reading reading) = 0;
  virtual void await_key() = 0;

  int next_byte(Reading reading);
  void push_back(int byte) { pushed_back_ = byte; }

  static constexpr int NOTHING_PUSHED_BACK = -2;
  int pushed_back_ = NOTHING_PUSHED_BACK;
};

}  // namespace dep
