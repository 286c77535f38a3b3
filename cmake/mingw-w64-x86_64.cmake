# Cross-compiles the Windows x86-64 program with MinGW-w64 (posix threads).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LORVEX_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${LORVEX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LORVEX_MINGW_PREFIX}-g++-posix)
# The resource compiler of Lorvex.exe's icon, version and manifest (App/Lorvex.rc); it comes with
# binutils-mingw-w64-x86-64, which the compiler package the scripts install depends on.
set(CMAKE_RC_COMPILER ${LORVEX_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${LORVEX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Test programs run under Wine through this wrapper.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-exec.sh)
