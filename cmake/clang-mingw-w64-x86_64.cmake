# The second compiler: Debian's clang for the same MinGW-w64 target, headers and libraries as the
# GCC build, with what MSVC would refuse made an error (scripts/check-clang.sh builds with it).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LORVEX_MINGW_PREFIX x86_64-w64-mingw32)
set(LORVEX_CLANG_VERSION 16 CACHE STRING "The clang-N and clang++-N to build with")
set(CMAKE_C_COMPILER clang-${LORVEX_CLANG_VERSION})
set(CMAKE_CXX_COMPILER clang++-${LORVEX_CLANG_VERSION})
set(CMAKE_C_COMPILER_TARGET ${LORVEX_MINGW_PREFIX})
set(CMAKE_CXX_COMPILER_TARGET ${LORVEX_MINGW_PREFIX})
set(CMAKE_RC_COMPILER ${LORVEX_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${LORVEX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# clang does not take Debian's "12-posix" folder name for a GCC version, so it is given the C++
# library's headers and the folder of libstdc++ and libgcc; -pthread links winpthreads, which the
# posix-thread build of both needs, and thread-local variables are emulated as GCC's MinGW target
# does, so code of both compilers finds libstdc++'s (std::call_once's among them). The headers
# reach the link line too, where the driver would call them unused.
file(GLOB LORVEX_GCC_DIRS LIST_DIRECTORIES true /usr/lib/gcc/${LORVEX_MINGW_PREFIX}/*-posix)
list(SORT LORVEX_GCC_DIRS COMPARE NATURAL ORDER DESCENDING)
list(GET LORVEX_GCC_DIRS 0 LORVEX_GCC_DIR)
set(LORVEX_CXX_HEADERS
    "-nostdinc++ -isystem ${LORVEX_GCC_DIR}/include/c++ -isystem ${LORVEX_GCC_DIR}/include/c++/${LORVEX_MINGW_PREFIX} -isystem ${LORVEX_GCC_DIR}/include/c++/backward -femulated-tls -Wno-unused-command-line-argument")

# The Windows SDK defines "small" as char (rpcndr.h, which MSVC's windows.h includes). MSVC
# refuses what clang only warns about here: a function that does not return a value on every
# path, variable-length arrays and other GNU extensions, a class declared once as struct and
# once as class (MSVC mangles the two differently, so the link fails), a used uninitialised
# variable and a dropped [[nodiscard]] result (both errors under MSVC's /sdl).
set(LORVEX_MSVC_AS_ERRORS
    "-Dsmall=char -Werror=return-type -Werror=vla -Werror=vla-extension -Werror=gnu -Werror=mismatched-tags -Werror=uninitialized -Werror=unused-result")
# Quiet where clang alone complains of what MSVC takes: an override of a COM method without the
# headers' __declspec(nothrow).
set(LORVEX_CLANG_ONLY "-Wno-microsoft-exception-spec")
set(CMAKE_C_FLAGS_INIT "-Dsmall=char -femulated-tls")
set(CMAKE_CXX_FLAGS_INIT "${LORVEX_CXX_HEADERS} ${LORVEX_MSVC_AS_ERRORS} ${LORVEX_CLANG_ONLY}")
# LLVM's own linker of the same version: binutils' ld links clang's objects too, but warns at
# every type both compilers describe that their sections differ in size.
set(LORVEX_LINKER "--ld-path=/usr/lib/llvm-${LORVEX_CLANG_VERSION}/bin/ld.lld -pthread -L${LORVEX_GCC_DIR}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${LORVEX_LINKER}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${LORVEX_LINKER}")

# Test programs run under Wine through this wrapper.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-exec.sh)
