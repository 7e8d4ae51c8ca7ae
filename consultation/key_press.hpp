#pragma once

#include <cstdio>

namespace dep {

/// Waits for one new key press on the terminal `fd` and echoes it to `echo`
/// when it is printable. Returns at once when `fd` is not a terminal.
///
/// For the wait only, the terminal leaves canonical mode and kernel echo, and
/// type-ahead is discarded so that only a press made now counts. A key that
/// sends several bytes (an arrow, a function key) is one press, and none of its
/// bytes is left behind. The previous terminal settings come back on return,
/// and also when SIGINT, SIGTERM, SIGHUP or SIGQUIT ends the process during the
/// wait; Ctrl-Z restores them while stopped and the key mode returns on resume.
void wait_for_key_press(int fd, std::FILE* echo);

}  // namespace dep
