#!/usr/bin/env bash
# The second compiler's check, run by hand before a change to platform code is handed in (not part
# of CI): builds everything with Debian's clang for the same MinGW-w64 target, with the SDK's
# "small" macro and the faults MSVC would refuse made errors (cmake/clang-mingw-w64-x86_64.cmake),
# in its own build folder, and runs every test under Wine as scripts/test.sh does. Extra
# arguments go to ctest. Installs clang and its linker first when they are missing.
set -u
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

lorvex_require_packages clang-16 lld-16 || exit 1
export LORVEX_BUILD="$LORVEX_ROOT/build/clang"
export LORVEX_TOOLCHAIN="$LORVEX_ROOT/cmake/clang-mingw-w64-x86_64.cmake"
exec bash "$LORVEX_ROOT/scripts/test.sh" "$@"
