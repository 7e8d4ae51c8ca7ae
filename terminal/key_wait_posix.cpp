#include "terminal/key_wait.hpp"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <span>

#include "terminal/key_wait_rules.hpp"

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
constexpr std::array HANDLED_SIGNALS{SIGTSTP, SIGINT, SIGTERM, SIGHUP, SIGQUIT};

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

    for (std::size_t i = 0; i < HANDLED_SIGNALS.size(); ++i) {
      install(i, HANDLED_SIGNALS[i] == SIGTSTP ? on_stop_signal : on_ending_signal);
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
    for (std::size_t i = 0; i < HANDLED_SIGNALS.size(); ++i) {
      if (installed_[i]) {
        (void)sigaction(HANDLED_SIGNALS[i], &previous_actions_[i], nullptr);
      }
    }
  }

  [[nodiscard]] bool applied() const { return applied_; }

 private:
  void install(std::size_t slot, void (*handler)(int)) {
    const int signal_number = HANDLED_SIGNALS[slot];
    struct sigaction current {};
    if (sigaction(signal_number, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) {
      return;  // a signal ignored by whoever started us stays ignored
    }
    previous_actions_[slot] = current;
    set_action(signal_number, handler);
    installed_[slot] = true;
  }

  std::array<struct sigaction, HANDLED_SIGNALS.size()> previous_actions_{};
  std::array<bool, HANDLED_SIGNALS.size()> installed_{};
  bool applied_ = false;
};

/// Longest pause allowed between the bytes of one key press.
constexpr int SEQUENCE_GAP_MILLISECONDS = 100;

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

/// Reads the bytes of one key press into `buffer`: reads on while they only
/// begin a key and more bytes follow within the allowed pause. Empty when the
/// terminal has no more input.
std::span<const unsigned char> read_key_press(int fd, std::span<unsigned char> buffer) {
  std::size_t size = read_retrying(fd, buffer);
  while (size > 0 && size < buffer.size() && split_key(buffer.first(size)).length == 0) {
    pollfd ready{fd, POLLIN, 0};
    const int events = poll(&ready, 1, SEQUENCE_GAP_MILLISECONDS);
    if (events < 0 && errno == EINTR) {
      continue;
    }
    if (events <= 0) {
      break;  // a lone Esc, or a key cut short
    }
    const std::size_t more = read_retrying(fd, buffer.subspan(size));
    if (more == 0) {
      break;
    }
    size += more;
  }
  return buffer.first(size);
}

}  // namespace

int wait_for_key_press() {
  const int fd = STDIN_FILENO;
  termios previous{};
  if (isatty(fd) == 0 || tcgetattr(fd, &previous) != 0) {
    return 0;  // no terminal, so no key to wait for
  }
  const KeyMode key_mode(fd, previous);
  if (!key_mode.applied()) {
    return 0;
  }
  std::array<unsigned char, 32> buffer{};
  const std::span<const unsigned char> bytes = read_key_press(fd, buffer);
  const KeySplit key = split_key(bytes);
  if (!key.printable) {
    return 0;
  }
  errno = 0;
  if (std::fwrite(bytes.data(), 1, key.length, stdout) != key.length || std::fflush(stdout) != 0) {
    return errno != 0 ? errno : EIO;
  }
  return 0;
}

}  // namespace dep
