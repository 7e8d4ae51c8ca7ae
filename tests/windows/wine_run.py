#!/usr/bin/env python3
"""Runs a Windows test program under Wine, and runs it again when Wine itself
failed rather than the program.

Debian 12's Wine 8 now and then ends a process on a fault of its own, about
once in a thousand starts on a busy machine: the process ends with a status
other than 0 and has printed nothing, or Wine says why it broke (glibc's
loader stopping it as it exits, or its server dropping the process). Such a
run tells nothing of the program. Any other run is passed on as it came, a
failure included.

Usage: wine_run.py WINE PROGRAM [ARGUMENT...]
"""

import subprocess
import sys

ATTEMPTS = 3
# What Wine prints when it breaks, whatever the program was doing.
WINE_FAULTS = (b"Inconsistency detected by ld.so", b"wine client error:")


def failed_in_wine(status, out, err):
    """Whether a run ended on Wine's fault: our test programs always print
    something, and Wine's own fault messages come from Wine alone."""
    if any(fault in err for fault in WINE_FAULTS):
        return True
    return status not in (None, 0) and out == b"" and err == b""


def rerun(run_once):
    """Calls `run_once`, which runs the program and returns its (status, out,
    err), until a run is not Wine's fault, at most ATTEMPTS times; returns
    the last run's."""
    result = run_once()
    for attempt in range(2, ATTEMPTS + 1):
        if not failed_in_wine(*result):
            break
        sys.stderr.write(f"wine_run: Wine failed on its own (status {result[0]}, "
                         f"{len(result[2])} bytes on standard error): run {attempt} of {ATTEMPTS}\n")
        sys.stderr.flush()
        result = run_once()
    return result


def main():
    def run_once():
        done = subprocess.run(sys.argv[1:], stdin=subprocess.DEVNULL, capture_output=True)
        return done.returncode, done.stdout, done.stderr

    status, out, err = rerun(run_once)
    sys.stdout.buffer.write(out)
    sys.stdout.flush()
    sys.stderr.buffer.write(err)
    sys.stderr.flush()
    return status if status >= 0 else 128 - status


if __name__ == "__main__":
    sys.exit(main())
