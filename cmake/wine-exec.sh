#!/usr/bin/env bash
# Runs a Windows program under Wine. scripts/test.sh prepares the build's private prefix and
# exports WINEPREFIX and HOME before CTest calls this.
if [ -z "${WINEPREFIX:-}" ]; then
  echo "WINEPREFIX is not set: run the tests through scripts/test.sh" >&2
  exit 2
fi
export WINEDEBUG=-all
wine "$@"
status=$?
# Once every Windows thread of a program has ended, Wine's server gives its Unix process a moment
# to leave and then sends SIGKILL. On a loaded machine the Unix side's own exit (the renderer's
# libraries, the memory unmapped) can take longer than that, after the program printed its
# verdict. CTest fails a program killed by a signal whatever it printed; as a plain failure code,
# a test that judges by its output (every GoogleTest program, the screens) is judged by what the
# program said, and one that judges by its exit code still fails.
if [ "$status" -eq 137 ]; then
  echo "wine-exec: Wine's server killed the program's Unix process at its end (SIGKILL)" >&2
  exit 1
fi
exit "$status"
