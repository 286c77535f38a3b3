#!/usr/bin/env bash
# Builds the program and runs Lorvex.exe under Wine in the build's private prefix. With a display
# (DISPLAY set) the program runs until it is closed. Without one, Xvfb stands in: the window is
# left to settle, the screen is saved to build/release/screenshot.png, and the program is closed.
# Installs what is missing first.
set -u
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# googletest: the build configures the test programs too. fonts-dejavu-core: the prefix's stand-ins
# for "Segoe UI" and "Consolas".
lorvex_require_packages cmake ninja-build g++-mingw-w64-x86-64-posix wine wine64 fonts-wine fonts-dejavu-core googletest xvfb \
  imagemagick || exit 1
LORVEX_TARGETS="Lorvex" lorvex_build || exit 1
lorvex_wine_prefix || exit 1
exe="$LORVEX_BUILD/Lorvex.exe"

if [ -n "${DISPLAY:-}" ]; then
  wine "$exe"
  exit $?
fi

lorvex_xvfb_start || exit 1
lorvex_wine_start
wine "$exe" </dev/null >/dev/null 2>&1 &
program=$!
sleep "${LORVEX_SETTLE_SECONDS:-6}"
shot="$LORVEX_BUILD/screenshot.png"
import -display "$DISPLAY" -window root "$shot" || { kill "$program"; exit 1; }
echo "Screenshot: $shot"
# The process started by wine is the program itself.
kill "$program" 2>/dev/null
wait "$program" 2>/dev/null
exit 0
