#!/usr/bin/env bash
# Builds everything and runs every test under Wine. Installs what is missing first.
# Extra arguments go to ctest (for example: -R foundation).
set -u
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# wine64 alone has neither the wine commands (they come with wine) nor Tahoma (fonts-wine); the
# prefix copies its stand-ins for "Segoe UI" and "Consolas" from fonts-dejavu-core.
lorvex_require_packages cmake ninja-build g++-mingw-w64-x86-64-posix wine wine64 fonts-wine fonts-dejavu-core googletest \
  xvfb || exit 1
bash "$LORVEX_ROOT/scripts/check-layers.sh" || exit 1
lorvex_build || exit 1
lorvex_wine_prefix || exit 1

# Tests labelled "display" need an X display (the Direct3D device and windows do). Xvfb comes
# first: Wine's desktop process, started with the server, keeps the display it was started with.
if ctest --test-dir "$LORVEX_BUILD" -N -L display 2>/dev/null | grep -q 'Total Tests: [1-9]'; then
  lorvex_xvfb_start || exit 1
fi
lorvex_wine_start

# Mesa's software renderer starts a thread per core in every program; with the test programs side
# by side that is many times more threads than cores, and the frame driver rasterises few frames.
# One thread each was measured 2.5 times faster than a thread per core.
export LP_NUM_THREADS=0

ctest --test-dir "$LORVEX_BUILD" --output-on-failure -j"$(nproc)" "$@"
