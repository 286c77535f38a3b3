# Shared by the build/test/run scripts: package installs, configure and build, the Wine prefix,
# and Xvfb. Sourced, never run on its own.

LORVEX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
LORVEX_BUILD=${LORVEX_BUILD:-$LORVEX_ROOT/build/release}

# Installs, with apt-get, only the packages that are missing.
lorvex_require_packages() {
  local missing=()
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# LORVEX_TOOLCHAIN (optional) is another toolchain file, for a second compiler's build folder.
lorvex_build() {
  cmake -S "$LORVEX_ROOT" -B "$LORVEX_BUILD" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="${LORVEX_TOOLCHAIN:-$LORVEX_ROOT/cmake/mingw-w64-x86_64.cmake}" \
    -DCMAKE_BUILD_TYPE=${LORVEX_BUILD_TYPE:-Release} >/dev/null || return 1
  # LORVEX_TARGETS (optional, space-separated) builds only those targets.
  local targets=()
  local t
  for t in ${LORVEX_TARGETS:-}; do targets+=(--target "$t"); done
  cmake --build "$LORVEX_BUILD" "${targets[@]}" -- -j"$(nproc)" || return 1
}

# A private Wine prefix inside the build folder, created once. Wine maps Documents, Desktop and
# Pictures to $HOME, so HOME points into the build folder too.
lorvex_wine_prefix() {
  export WINEPREFIX="$LORVEX_BUILD/wine"
  export HOME="$LORVEX_BUILD/wine-home"
  export WINEDEBUG=-all
  mkdir -p "$HOME"
  if [ ! -f "$WINEPREFIX/.lorvex-ready" ]; then
    echo "Creating the Wine prefix in $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1 || return 1
    wineserver -w
    # A fresh prefix has no "Segoe UI" nor "Tahoma": Wine's Tahoma, registered, becomes the
    # family that every missing one falls back to, so text has metrics and draws.
    local fonts="$WINEPREFIX/drive_c/windows/Fonts"
    mkdir -p "$fonts"
    cp /usr/share/wine/fonts/tahoma.ttf /usr/share/wine/fonts/tahomabd.ttf "$fonts/" 2>/dev/null
    local key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts'
    wine reg add "$key" /v 'Tahoma (TrueType)' /t REG_SZ /d tahoma.ttf /f >/dev/null 2>&1
    wine reg add "$key" /v 'Tahoma Bold (TrueType)' /t REG_SZ /d tahomabd.ttf /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.lorvex-ready"
  fi
  # Text in "Segoe UI" and in the code font would fall back to Tahoma, whose bitmap strikes at
  # 11-13 and 16 px draw the window's commonest sizes unsmoothed and which lacks arrows. DejaVu
  # Sans and DejaVu Sans Mono (fonts-dejavu-core) stand in for "Segoe UI" and "Consolas"; they are
  # copied into the prefix and registered, so the names hold whatever fonts the host has.
  if [ ! -f "$WINEPREFIX/.lorvex-font-substitutes" ]; then
    lorvex_require_packages fonts-dejavu-core || return 1
    local dejavu=/usr/share/fonts/truetype/dejavu
    local files="DejaVuSans.ttf DejaVuSans-Bold.ttf DejaVuSansMono.ttf DejaVuSansMono-Bold.ttf"
    local fonts="$WINEPREFIX/drive_c/windows/Fonts" file
    mkdir -p "$fonts"
    for file in $files; do cp "$dejavu/$file" "$fonts/" || return 1; done
    local key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts'
    wine reg add "$key" /v 'DejaVu Sans (TrueType)' /t REG_SZ /d DejaVuSans.ttf /f >/dev/null 2>&1 || return 1
    wine reg add "$key" /v 'DejaVu Sans Bold (TrueType)' /t REG_SZ /d DejaVuSans-Bold.ttf /f >/dev/null 2>&1 || return 1
    wine reg add "$key" /v 'DejaVu Sans Mono (TrueType)' /t REG_SZ /d DejaVuSansMono.ttf /f >/dev/null 2>&1 || return 1
    wine reg add "$key" /v 'DejaVu Sans Mono Bold (TrueType)' /t REG_SZ /d DejaVuSansMono-Bold.ttf /f \
      >/dev/null 2>&1 || return 1
    local replacements='HKCU\Software\Wine\Fonts\Replacements'
    wine reg add "$replacements" /v 'Segoe UI' /t REG_SZ /d 'DejaVu Sans' /f >/dev/null 2>&1 || return 1
    wine reg add "$replacements" /v 'Consolas' /t REG_SZ /d 'DejaVu Sans Mono' /f >/dev/null 2>&1 || return 1
    wineserver -w
    touch "$WINEPREFIX/.lorvex-font-substitutes"
  fi
  # A crashing program would otherwise leave Wine's crash dialog open and never exit, and the run
  # would hang. Checked on its own so that prefixes made before it get it too.
  if [ ! -f "$WINEPREFIX/.lorvex-no-crash-dialog" ]; then
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 || return 1
    wineserver -w
    touch "$WINEPREFIX/.lorvex-no-crash-dialog"
  fi
  # Wine's Direct3D hands its drawing to a command thread, and the program's thread spins while it
  # waits for that thread: each program burned two cores for the work of one (measured: half the
  # processor time of a UI test with it off, at the same speed). Off for every program of the prefix.
  if [ ! -f "$WINEPREFIX/.lorvex-no-csmt" ]; then
    wine reg add 'HKCU\Software\Wine\Direct3D' /v csmt /t REG_DWORD /d 0 /f >/dev/null 2>&1 || return 1
    wineserver -w
    touch "$WINEPREFIX/.lorvex-no-csmt"
  fi
  # Without a window manager Wine waits 2 s for every managed window it hides or destroys. The
  # programs that open and close a real window per test case (the frame driver's) get unmanaged
  # windows, which Wine places itself and destroys at once.
  if [ ! -f "$WINEPREFIX/.lorvex-unmanaged-driver" ]; then
    local exe
    for exe in main_tests.exe screens.exe; do
      wine reg add "HKCU\\Software\\Wine\\AppDefaults\\$exe\\X11 Driver" /v Managed /t REG_SZ /d N /f \
        >/dev/null 2>&1 || return 1
    done
    wineserver -w
    touch "$WINEPREFIX/.lorvex-unmanaged-driver"
  fi
}

# Keeps the Wine server alive so each program starts in a fraction of a second.
lorvex_wine_start() {
  # A server left from an earlier run would keep that run's display.
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  wineserver -p
  trap lorvex_cleanup EXIT
  # Start Wine's long-lived helper processes (services, devices) now, with their output going
  # nowhere: started by the first test instead, they would inherit CTest's output pipes and CTest
  # would wait for them forever.
  wine cmd /c exit </dev/null >/dev/null 2>&1
}

LORVEX_XVFB_PID=""
lorvex_xvfb_start() {
  local n=99
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1600x1000x24 -nolisten tcp -noreset >/dev/null 2>&1 &
  LORVEX_XVFB_PID=$!
  export DISPLAY=":$n"
  # A first start on a busy machine compiles its keymap slowly: wait up to 30 s, but stop
  # waiting as soon as the server has died.
  local i
  for i in $(seq 300); do
    [ -e "/tmp/.X11-unix/X$n" ] && return 0
    kill -0 "$LORVEX_XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  echo "Xvfb did not start on :$n" >&2
  return 1
}

lorvex_cleanup() {
  wineserver -k 2>/dev/null
  [ -n "$LORVEX_XVFB_PID" ] && kill "$LORVEX_XVFB_PID" 2>/dev/null
  LORVEX_XVFB_PID=""
}
