#pragma once

namespace dep {

/// Waits for one new key press at the console that standard input is, and
/// echoes the key to standard output when it shows as a character. Returns
/// at once when standard input is not a terminal or a console (a pipe, a
/// file). Only a press made during the wait counts: input already pending is
/// dropped first, and a key that sends several bytes or events (an arrow, a
/// function key) is one press.
///
/// On a POSIX terminal the wait leaves canonical mode and kernel echo, and
/// the exact previous settings come back on return, and also when SIGINT,
/// SIGTERM, SIGHUP or SIGQUIT ends the process during the wait; Ctrl-Z
/// restores them while stopped and the key mode returns on resume. On the
/// Windows console the input mode is never changed.
///
/// Returns 0, or the errno value of an echo that could not be written.
[[nodiscard]] int wait_for_key_press();

}  // namespace dep
