#!/usr/bin/env bash
# Runs a Windows program under Wine. scripts/test.sh prepares the build's private prefix and
# exports WINEPREFIX and HOME before CTest calls this.
if [ -z "${WINEPREFIX:-}" ]; then
  echo "WINEPREFIX is not set: run the tests through scripts/test.sh" >&2
  exit 2
fi
export WINEDEBUG=-all
exec wine "$@"
