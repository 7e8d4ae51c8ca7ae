#include "consultation/key_press.hpp"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <span>

namespace dep {
namespace {

// What the signal handlers need, so it has to be global. They are only
// installed while a wait is in progress, and a single wait runs at a time.
// NOLINTBEGIN(cppcoreguidelines-avoid-non-const-global-variables)
int g_fd = -1;
termios g_previous_mode{};
termios g_key_mode{};
volatile std::sig_atomic_t g_key_mode_applied = 0;
// NOLINTEND(cppcoreguidelines-avoid-non-const-global-variables)

/// Ctrl-Z, then the signals that end the process during the wait.
constexpr std::array kHandledSignals{SIGTSTP, SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void set_action(int signal_number, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  (void)sigaction(signal_number, &action, nullptr);
}

// Async-signal-safe.
void put_back_previous_mode() {
  if (g_key_mode_applied != 0) {
    (void)tcsetattr(g_fd, TCSANOW, &g_previous_mode);
  }
}

extern "C" void on_ending_signal(int signal_number) {
  put_back_previous_mode();
  set_action(signal_number, SIG_DFL);
  // Blocked while this handler runs: the default action ends the process as
  // soon as it returns.
  (void)kill(getpid(), signal_number);
}

extern "C" void on_stop_signal(int signal_number) {
  const int saved_errno = errno;
  put_back_previous_mode();
  set_action(signal_number, SIG_DFL);
  sigset_t stop;
  (void)sigemptyset(&stop);
  (void)sigaddset(&stop, signal_number);
  (void)kill(getpid(), signal_number);
  (void)sigprocmask(SIG_UNBLOCK, &stop, nullptr);  // the process stops here
  // Resumed by SIGCONT: back to the key wait.
  set_action(signal_number, on_stop_signal);
  if (g_key_mode_applied != 0) {
    (void)tcsetattr(g_fd, TCSANOW, &g_key_mode);
  }
  errno = saved_errno;
}

/// Holds the terminal in key mode, with the signal handlers that put it back,
/// for the lifetime of the object. Restores the exact previous settings and
/// signal actions when it ends, dropping whatever input is still pending.
class KeyMode {
 public:
  KeyMode(int fd, const termios& previous) {
    g_fd = fd;
    g_previous_mode = previous;
    g_key_mode = previous;
    g_key_mode.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    g_key_mode.c_cc[VMIN] = 1;
    g_key_mode.c_cc[VTIME] = 0;

    for (std::size_t i = 0; i < kHandledSignals.size(); ++i) {
      install(i, kHandledSignals[i] == SIGTSTP ? on_stop_signal : on_ending_signal);
    }
    // Flagged first, so that a signal arriving during the switch still puts
    // the previous settings back. TCSAFLUSH discards the type-ahead.
    g_key_mode_applied = 1;
    applied_ = tcsetattr(fd, TCSAFLUSH, &g_key_mode) == 0;
    if (!applied_) {
      g_key_mode_applied = 0;
    }
  }

  KeyMode(const KeyMode&) = delete;
  KeyMode& operator=(const KeyMode&) = delete;
  KeyMode(KeyMode&&) = delete;
  KeyMode& operator=(KeyMode&&) = delete;

  ~KeyMode() {
    if (g_key_mode_applied != 0) {
      (void)tcsetattr(g_fd, TCSAFLUSH, &g_previous_mode);
      g_key_mode_applied = 0;
    }
    for (std::size_t i = 0; i < kHandledSignals.size(); ++i) {
      if (installed_[i]) {
        (void)sigaction(kHandledSignals[i], &previous_actions_[i], nullptr);
      }
    }
  }

  [[nodiscard]] bool applied() const { return applied_; }

 private:
  void install(std::size_t slot, void (*handler)(int)) {
    const int signal_number = kHandledSignals[slot];
    struct sigaction current {};
    if (sigaction(signal_number, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) {
      return;  // a signal ignored by whoever started us stays ignored
    }
    previous_actions_[slot] = current;
    set_action(signal_number, handler);
    installed_[slot] = true;
  }

  std::array<struct sigaction, kHandledSignals.size()> previous_actions_{};
  std::array<bool, kHandledSignals.size()> installed_{};
  bool applied_ = false;
};

constexpr unsigned char kEscape = 0x1b;
/// Longest pause allowed between the bytes of one escape sequence.
constexpr int kSequenceGapMilliseconds = 100;

std::size_t read_retrying(int fd, std::span<unsigned char> buffer) {
  for (;;) {
    const ssize_t got = read(fd, buffer.data(), buffer.size());
    if (got >= 0) {
      return static_cast<std::size_t>(got);
    }
    if (errno != EINTR) {
      return 0;
    }
  }
}

/// Whether `bytes`, starting with Escape, hold a whole escape sequence.
bool escape_sequence_complete(std::span<const unsigned char> bytes) {
  if (bytes.size() < 2) {
    return false;  // a lone Escape key, or the start of a sequence
  }
  if (bytes[1] == '[') {  // CSI: parameters, then a final byte
    for (std::size_t i = 2; i < bytes.size(); ++i) {
      if (bytes[i] >= 0x40 && bytes[i] <= 0x7e) {
        return true;
      }
    }
    return false;
  }
  if (bytes[1] == 'O') {  // SS3: one more byte
    return bytes.size() >= 3;
  }
  return true;  // Alt with a key
}

/// Reads the bytes of one key press into `buffer`; returns how many, 0 when
/// the terminal has no more input.
std::size_t read_key_press(int fd, std::span<unsigned char> buffer) {
  std::size_t size = read_retrying(fd, buffer);
  if (size == 0 || buffer[0] != kEscape) {
    return size;
  }
  while (size < buffer.size() && !escape_sequence_complete(buffer.first(size))) {
    pollfd ready{fd, POLLIN, 0};
    const int events = poll(&ready, 1, kSequenceGapMilliseconds);
    if (events < 0 && errno == EINTR) {
      continue;
    }
    if (events <= 0) {
      break;
    }
    const std::size_t more = read_retrying(fd, buffer.subspan(size));
    if (more == 0) {
      break;
    }
    size += more;
  }
  return size;
}

/// The bytes of the first key in `bytes` when that key shows as a character:
/// printable ASCII or one whole UTF-8 character. Empty otherwise.
std::span<const unsigned char> printable_key(std::span<const unsigned char> bytes) {
  if (bytes.empty()) {
    return {};
  }
  const unsigned char lead = bytes[0];
  if (lead >= 0x20 && lead <= 0x7e) {
    return bytes.first(1);
  }
  std::size_t length = 0;
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3;
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    length = 4;
  }
  if (length == 0 || bytes.size() < length) {
    return {};
  }
  for (std::size_t i = 1; i < length; ++i) {
    if ((bytes[i] & 0xc0U) != 0x80U) {
      return {};
    }
  }
  return bytes.first(length);
}

}  // namespace

void wait_for_key_press(int fd, std::FILE* echo) {
  termios previous{};
  if (isatty(fd) == 0 || tcgetattr(fd, &previous) != 0) {
    return;  // no terminal, so no key to wait for
  }
  const KeyMode key_mode(fd, previous);
  if (!key_mode.applied()) {
    return;
  }
  std::array<unsigned char, 32> buffer{};
  const std::size_t size = read_key_press(fd, buffer);
  const std::span<const unsigned char> key = printable_key(std::span(buffer).first(size));
  if (!key.empty()) {
    (void)std::fwrite(key.data(), 1, key.size(), echo);
    (void)std::fflush(echo);
  }
}

}  // namespace dep
