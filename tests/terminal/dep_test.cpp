// The built program, run as a separate process: with piped standard input,
// and on a pseudo-terminal as a person at a keyboard would use it.

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

namespace {

/// How long anything the program is expected to do may take before a test gives up.
constexpr auto kPatience = std::chrono::seconds(5);
using Clock = std::chrono::steady_clock;

constexpr std::string_view kWorkedExample =
    "Le patient est il un (H)omme , une (F)emme ou un (E)nfant ? \n"
    "Quel est l age de l individu ? l age le plus proche est 45 ans\n"
    "\nQuel est la taille l individu ? (en cm) la taille la plus proche est 175\n"
    "La valeur theorique de la DEP est 631 L/Min\n"
    "Entrez le resultat du test DEP effectue sur le patient (0 pour quitter) \n"
    "La valeur mesuree correspond a 76.1 % de la valeur theorique";
constexpr std::string_view kReportEnd = "% de la valeur theorique";

int remaining_ms(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

/// Waits for `pid` until `deadline`; the raw wait status, or -1 on time-out.
int wait_until(pid_t pid, Clock::time_point deadline) {
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      return status;
    }
    if (Clock::now() >= deadline) {
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

/// In a forked child: makes `fd` the standard stream `target`, kept across
/// exec even when it already is that number (as when the tests run with no
/// standard input and a pipe takes descriptor 0).
void install_as(int fd, int target) {
  if (fd == target) {
    fcntl(fd, F_SETFD, 0);
  } else {
    dup2(fd, target);
  }
}

[[noreturn]] void exec_dep() {
  execl(DEP_EXECUTABLE, DEP_EXECUTABLE, static_cast<char*>(nullptr));
  _exit(127);
}

struct PipedRun {
  std::string out;
  std::string err;
  int status = -1;  // raw wait status, -1 when it did not end in time
};

/// Starts dep with `in`, `out` and `err` as its standard streams (-1 leaves
/// that stream closed) and SIGPIPE at its default action.
pid_t start_dep(int in, int out, int err) {
  const pid_t pid = fork();
  if (pid == 0) {
    (void)signal(SIGPIPE, SIG_DFL);
    for (const auto& [fd, target] : {std::pair{in, STDIN_FILENO}, std::pair{out, STDOUT_FILENO},
                                     std::pair{err, STDERR_FILENO}}) {
      if (fd < 0) {
        close(target);
      } else {
        install_as(fd, target);
      }
    }
    exec_dep();
  }
  return pid;
}

/// The reading ends of the pipes on dep's standard output and error.
struct OutputPipes {
  int out = -1;  // -1: not captured
  int err = -1;
};

/// Reads both pipes to their ends, then waits for `pid`, all within
/// kPatience; kills it when it takes longer. Closes the pipes.
PipedRun collect(pid_t pid, OutputPipes pipes) {
  PipedRun run;
  const auto deadline = Clock::now() + kPatience;
  std::array<pollfd, 2> fds{{{pipes.out, POLLIN, 0}, {pipes.err, POLLIN, 0}}};  // poll skips -1
  int open_streams = pipes.out >= 0 ? 2 : 1;
  while (open_streams > 0 && Clock::now() < deadline) {
    if (poll(fds.data(), fds.size(), remaining_ms(deadline)) <= 0) {
      break;
    }
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) {
        continue;
      }
      std::array<char, 4096> buffer{};
      const ssize_t got = read(fds[i].fd, buffer.data(), buffer.size());
      if (got <= 0) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_streams;
      } else {
        (i == 0 ? run.out : run.err).append(buffer.data(), static_cast<std::size_t>(got));
      }
    }
  }
  run.status = wait_until(pid, deadline);
  if (run.status == -1) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  for (const pollfd& fd : fds) {
    if (fd.fd >= 0) {
      close(fd.fd);
    }
  }
  return run;
}

/// Runs dep with `input` on a pipe. The pipe's writing end stays open unless
/// `close_input`, so a read beyond the input would block rather than end.
PipedRun run_piped(std::string_view input, bool close_input) {
  std::array<int, 2> in{};
  std::array<int, 2> out{};
  std::array<int, 2> err{};
  EXPECT_EQ(pipe2(in.data(), O_CLOEXEC), 0);
  EXPECT_EQ(pipe2(out.data(), O_CLOEXEC), 0);
  EXPECT_EQ(pipe2(err.data(), O_CLOEXEC), 0);
  const pid_t pid = start_dep(in[0], out[1], err[1]);
  close(in[0]);
  close(out[1]);
  close(err[1]);
  EXPECT_EQ(write(in[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
  if (close_input) {
    close(in[1]);
  }
  PipedRun run = collect(pid, {.out = out[0], .err = err[0]});
  if (!close_input) {
    close(in[1]);
  }
  return run;
}

bool exited_with(int status, int code) {
  return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == code;
}

TEST(PipedProgram, PrintsTheWorkedExampleAndEndsWithoutWaitingForAKey) {
  const PipedRun run = run_piped("H\n42\n178\n480\n", /*close_input=*/false);
  EXPECT_EQ(run.out, kWorkedExample);
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(exited_with(run.status, 0)) << "status " << run.status;
}

TEST(PipedProgram, EndsQuietlyOnZeroAndOnAnEmptyInput) {
  const PipedRun zero = run_piped("E 137 0\n", /*close_input=*/false);
  EXPECT_EQ(zero.out,
            "Le patient est il un (H)omme , une (F)emme ou un (E)nfant ? \n"
            "Quel est la taille de l enfant ? (de 6 a 15 ans , en cm) \n \n "
            "La valeur theorique de la DEP est 283\n"
            "Entrez le resultat du test DEP effectue sur le patient (0 pour quitter) ");
  EXPECT_EQ(zero.err, "");
  EXPECT_TRUE(exited_with(zero.status, 0));

  const PipedRun empty = run_piped("", /*close_input=*/true);
  EXPECT_EQ(empty.out, "Le patient est il un (H)omme , une (F)emme ou un (E)nfant ? \n");
  EXPECT_EQ(empty.err, "");
  EXPECT_TRUE(exited_with(empty.status, 0));
}

// ---------------------------------------------------------------------------
// A console that the system fails.

/// Runs dep with `in` and `out` as its standard input and output (-1 leaves
/// that stream closed); takes its standard error. The test keeps its own
/// descriptors and closes them.
PipedRun run_redirected(int in, int out) {
  std::array<int, 2> err{};
  EXPECT_EQ(pipe2(err.data(), O_CLOEXEC), 0);
  const pid_t pid = start_dep(in, out, err[1]);
  close(err[1]);
  return collect(pid, {.err = err[0]});
}

/// A pipe already holding `input`, its writing end closed: dep's standard input.
int input_pipe(std::string_view input) {
  std::array<int, 2> in{};
  EXPECT_EQ(pipe2(in.data(), O_CLOEXEC), 0);
  EXPECT_EQ(write(in[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
  close(in[1]);
  return in[0];
}

std::string output_failure(int error) {
  return std::string("dep: impossible d ecrire la sortie standard: ") + std::strerror(error) + "\n";
}

TEST(FailingConsole, LostOutputIsReportedInOneLineWithStatusOne) {
  {
    const int in = input_pipe("H 42 178 480");
    const int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0);
    const PipedRun run = run_redirected(in, full);
    EXPECT_EQ(run.err, output_failure(ENOSPC));
    EXPECT_TRUE(exited_with(run.status, 1)) << "status " << run.status;
    close(in);
    close(full);
  }
  {
    // Even a run that ends at once, on an empty input, has written its question.
    const int in = input_pipe("");
    const PipedRun run = run_redirected(in, -1);
    EXPECT_EQ(run.err, output_failure(EBADF));
    EXPECT_TRUE(exited_with(run.status, 1)) << "status " << run.status;
    close(in);
  }
}

TEST(FailingConsole, UnreadableInputEndsTheDialogueAndIsReported) {
  const int directory = open("/", O_RDONLY | O_CLOEXEC);
  ASSERT_GE(directory, 0);
  const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  ASSERT_GE(null, 0);
  const PipedRun run = run_redirected(directory, null);
  EXPECT_EQ(run.err, std::string("dep: impossible de lire l entree standard: ") +
                         std::strerror(EISDIR) + "\n");
  EXPECT_TRUE(exited_with(run.status, 1)) << "status " << run.status;
  close(directory);
  close(null);
}

TEST(FailingConsole, AReaderThatLeavesEndsTheProgramBySigpipe) {
  std::array<int, 2> out{};
  ASSERT_EQ(pipe2(out.data(), O_CLOEXEC), 0);
  close(out[0]);
  const int in = input_pipe("H 42 178 480");
  const PipedRun run = run_redirected(in, out[1]);
  EXPECT_TRUE(run.status != -1 && WIFSIGNALED(run.status) && WTERMSIG(run.status) == SIGPIPE)
      << "status " << run.status;
  EXPECT_EQ(run.err, "");
  close(in);
  close(out[1]);
}

// ---------------------------------------------------------------------------
// On a terminal.

bool same_settings(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && a.c_line == b.c_line &&
         std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0 && cfgetispeed(&a) == cfgetispeed(&b) &&
         cfgetospeed(&a) == cfgetospeed(&b);
}

/// dep in the foreground of a fresh pseudo-terminal session. A small session
/// leader stands in for the shell: it starts dep in a process group of its
/// own, so that job control works as at a real prompt, and exits with dep's
/// status (128 + the signal when a signal ended it).
class TerminalSession {
 public:
  TerminalSession() : master_(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
    EXPECT_GE(master_, 0);
    EXPECT_EQ(grantpt(master_), 0);
    EXPECT_EQ(unlockpt(master_), 0);
    slave_ = open(ptsname(master_), O_RDWR | O_NOCTTY | O_CLOEXEC);
    EXPECT_GE(slave_, 0);
    EXPECT_EQ(tcgetattr(slave_, &before_), 0);

    std::array<int, 2> report{};
    EXPECT_EQ(pipe2(report.data(), O_CLOEXEC), 0);
    leader_ = fork();
    if (leader_ == 0) {
      run_leader(report[1]);
    }
    close(report[1]);
    EXPECT_EQ(read(report[0], &dep_, sizeof dep_), static_cast<ssize_t>(sizeof dep_));
    close(report[0]);
  }

  TerminalSession(const TerminalSession&) = delete;
  TerminalSession& operator=(const TerminalSession&) = delete;
  TerminalSession(TerminalSession&&) = delete;
  TerminalSession& operator=(TerminalSession&&) = delete;

  ~TerminalSession() {
    if (leader_ > 0 && waitpid(leader_, nullptr, WNOHANG) == 0) {
      kill(dep_, SIGKILL);
      kill(leader_, SIGKILL);
      waitpid(leader_, nullptr, 0);
    }
    close(slave_);
    close(master_);
  }

  void type(std::string_view keys) const {
    EXPECT_EQ(write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  }

  /// Collects the screen output until it holds `needle`, within kPatience.
  bool read_until(std::string_view needle) {
    const auto deadline = Clock::now() + kPatience;
    while (screen_.find(needle) == std::string::npos) {
      pollfd ready{master_, POLLIN, 0};
      if (Clock::now() >= deadline || poll(&ready, 1, remaining_ms(deadline)) <= 0) {
        return false;
      }
      std::array<char, 1024> buffer{};
      const ssize_t got = read(master_, buffer.data(), buffer.size());
      if (got <= 0) {
        return false;
      }
      screen_.append(buffer.data(), static_cast<std::size_t>(got));
    }
    return true;
  }

  /// Polls the terminal until `ready` holds of its settings, within kPatience.
  template <typename Predicate>
  bool wait_for_settings(Predicate ready) const {
    const auto deadline = Clock::now() + kPatience;
    while (Clock::now() < deadline) {
      termios now{};
      if (tcgetattr(slave_, &now) == 0 && ready(now)) {
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
  }

  /// Waits until dep has the terminal out of canonical mode for its key.
  bool wait_for_key_mode() const {
    return wait_for_settings([](const termios& t) { return (t.c_lflag & ICANON) == 0; });
  }

  /// Types `answers`, then waits until the report is on the screen and dep
  /// waits for its key.
  bool answer_until_key_wait(std::string_view answers) {
    type(answers);
    return read_until(kReportEnd) && wait_for_key_mode();
  }

  /// The leader's exit code (dep's status), or -1 if it has not ended in time.
  int wait_exit() {
    const int status = wait_until(leader_, Clock::now() + kPatience);
    if (status == -1 || !WIFEXITED(status)) {
      return -1;
    }
    leader_ = -1;
    return WEXITSTATUS(status);
  }

  [[nodiscard]] bool still_running() const { return waitpid(leader_, nullptr, WNOHANG) == 0; }

  /// dep's scheduling state as the kernel shows it ('T' when stopped).
  [[nodiscard]] char dep_state() const {
    std::ifstream stat("/proc/" + std::to_string(dep_) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t paren = text.rfind(')');
    return paren == std::string::npos || paren + 2 >= text.size() ? '?' : text[paren + 2];
  }

  [[nodiscard]] termios settings() const {
    termios now{};
    EXPECT_EQ(tcgetattr(slave_, &now), 0);
    return now;
  }
  [[nodiscard]] const termios& before() const { return before_; }
  [[nodiscard]] const std::string& screen() const { return screen_; }
  [[nodiscard]] pid_t dep() const { return dep_; }

  /// Bytes waiting to be read on the terminal, in canonical mode, once one
  /// more line end is typed and has reached it: 1 when nothing was left
  /// behind, 0 when the line end never arrived.
  [[nodiscard]] int pending_after_line_end() const {
    type("\n");
    const auto deadline = Clock::now() + kPatience;
    int pending = 0;
    while (ioctl(slave_, FIONREAD, &pending) == 0 && pending == 0 && Clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return pending;
  }

  /// Waits until dep has read the start of a key and polls for the rest of it.
  [[nodiscard]] bool wait_for_rest_of_key() const {
    const auto deadline = Clock::now() + kPatience;
    while (Clock::now() < deadline) {
      std::ifstream call("/proc/" + std::to_string(dep_) + "/syscall");
      long number = -1;
      if (call >> number && (number == SYS_poll || number == SYS_ppoll)) {
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }

 private:
  [[noreturn]] void run_leader(int report) const {
    setsid();
    ioctl(slave_, TIOCSCTTY, 0);
    const pid_t child = fork();
    if (child == 0) {
      setpgid(0, 0);
      (void)signal(SIGTTOU, SIG_IGN);
      tcsetpgrp(slave_, getpid());
      (void)signal(SIGTTOU, SIG_DFL);
      install_as(slave_, STDIN_FILENO);
      install_as(slave_, STDOUT_FILENO);
      install_as(slave_, STDERR_FILENO);
      exec_dep();
    }
    setpgid(child, child);
    const ssize_t reported = write(report, &child, sizeof child);
    (void)reported;
    int status = 0;
    while (waitpid(child, &status, WUNTRACED | WCONTINUED) == child) {
      if (WIFEXITED(status)) {
        _exit(WEXITSTATUS(status));
      }
      if (WIFSIGNALED(status)) {
        _exit(128 + WTERMSIG(status));
      }
    }
    _exit(126);
  }

  int master_ = -1;
  int slave_ = -1;
  termios before_{};
  pid_t leader_ = -1;
  pid_t dep_ = -1;
  std::string screen_;
};

TEST(TerminalProgram, WaitsAfterTheReportForOneKeyWithoutEnterAndEchoesIt) {
  TerminalSession session;
  // "zz" is typed ahead before the key is asked for: it must not count, so
  // the key that ends the wait and shows is "k".
  ASSERT_TRUE(session.answer_until_key_wait("H\n42\n178\n480\nzz"));
  EXPECT_TRUE(session.still_running());

  session.type("k");
  EXPECT_EQ(session.wait_exit(), 0);
  EXPECT_TRUE(session.read_until("theoriquek"));
  const std::string& screen = session.screen();
  EXPECT_EQ(screen.substr(screen.size() - std::string_view("theoriquek").size()), "theoriquek");
  EXPECT_NE(screen.find("La valeur mesuree correspond a 76.1 % de la valeur theorique"),
            std::string::npos);
  EXPECT_TRUE(same_settings(session.settings(), session.before()));
}

TEST(TerminalProgram, AnArrowKeyIsOnePressAndLeavesNoByteBehind) {
  for (const bool split : {false, true}) {
    TerminalSession session;
    ASSERT_TRUE(session.answer_until_key_wait("E 137 300\n"));
    if (split) {  // the sequence may reach the terminal in pieces
      session.type("\x1b");
      ASSERT_TRUE(session.wait_for_rest_of_key()) << "dep did not read the Esc";
      session.type("[A");
    } else {
      session.type("\x1b[A");
    }
    EXPECT_EQ(session.wait_exit(), 0) << "split " << split;
    EXPECT_TRUE(same_settings(session.settings(), session.before())) << "split " << split;
    EXPECT_EQ(session.pending_after_line_end(), 1) << "split " << split;
    // Nothing is echoed for a key that is not a character.
    std::string tail = session.screen();
    EXPECT_EQ(tail.substr(tail.size() - kReportEnd.size()), kReportEnd);
  }
}

TEST(TerminalProgram, InterruptOrTerminateDuringTheWaitRestoresTheTerminal) {
  {
    TerminalSession session;
    ASSERT_TRUE(session.answer_until_key_wait("F 17 150 400\n"));
    session.type("\x03");  // Ctrl-C
    EXPECT_EQ(session.wait_exit(), 128 + SIGINT);
    EXPECT_TRUE(same_settings(session.settings(), session.before()));
  }
  {
    TerminalSession session;
    ASSERT_TRUE(session.answer_until_key_wait("F 17 150 400\n"));
    kill(session.dep(), SIGTERM);
    EXPECT_EQ(session.wait_exit(), 128 + SIGTERM);
    EXPECT_TRUE(same_settings(session.settings(), session.before()));
  }
}

TEST(TerminalProgram, SuspendDuringTheWaitRestoresTheTerminalAndResumesTheWait) {
  TerminalSession session;
  ASSERT_TRUE(session.answer_until_key_wait("H 42 178 480\n"));

  session.type("\x1a");  // Ctrl-Z
  const auto deadline = Clock::now() + kPatience;
  while (session.dep_state() != 'T' && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_EQ(session.dep_state(), 'T');
  EXPECT_TRUE(same_settings(session.settings(), session.before()));

  kill(session.dep(), SIGCONT);
  ASSERT_TRUE(session.wait_for_key_mode());
  EXPECT_TRUE(session.still_running());
  session.type("q");
  EXPECT_EQ(session.wait_exit(), 0);
  EXPECT_TRUE(session.read_until("theoriqueq"));
  EXPECT_TRUE(same_settings(session.settings(), session.before()));
}

}  // namespace
