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


def run(command, attempts=ATTEMPTS, **options):
    """Runs `command` until a run is not Wine's fault, at most `attempts`
    times; returns the last run, with its standard streams as bytes."""
    result = subprocess.run(command, capture_output=True, **options)
    for attempt in range(2, attempts + 1):
        if not failed_in_wine(result.returncode, result.stdout, result.stderr):
            break
        sys.stderr.write(f"wine_run: Wine failed on its own (status {result.returncode}, "
                         f"{len(result.stderr)} bytes on standard error): run {attempt} of {attempts}\n")
        sys.stderr.flush()
        result = subprocess.run(command, capture_output=True, **options)
    return result


def main():
    result = run(sys.argv[1:], stdin=subprocess.DEVNULL)
    sys.stdout.buffer.write(result.stdout)
    sys.stdout.flush()
    sys.stderr.buffer.write(result.stderr)
    sys.stderr.flush()
    return result.returncode if result.returncode >= 0 else 128 - result.returncode


if __name__ == "__main__":
    sys.exit(main())
