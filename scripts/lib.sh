# Shared settings for the project's scripts; sourced, not run.
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${CAMMON_BUILD:-$ROOT/build}
DEPS=$BUILD/deps
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
export WINEPREFIX=$BUILD/wineprefix
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono/Gecko installer dialogs in a fresh prefix.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# A Chinese user locale makes the ANSI code page 936 (the settings file's
# encoding) and gives Wine's own dialogs Chinese buttons. Called again once
# setup has generated the locale.
chinese_locale() {
  if locale -a 2>/dev/null | grep -qi '^zh_CN.utf8$'; then
    export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
  fi
}
chinese_locale

say() { printf '%s\n' "$*" >&2; }
die() { say "error: $*"; exit 1; }

# Starts Xvfb on the first free display; sets XVFB_PID and DISPLAY.
start_xvfb() {
  local n=${1:-90}
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  export DISPLAY=":$n"
  local deadline=$((SECONDS + 20))
  until [ -e "/tmp/.X11-unix/X$n" ]; do
    kill -0 "$XVFB_PID" 2>/dev/null || die "Xvfb did not start on :$n"
    [ $SECONDS -lt $deadline ] || die "Xvfb did not come up on :$n within 20 s"
    sleep 0.1
  done
}

stop_xvfb() {
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
  XVFB_PID=
}

# Configures and builds the project into $BUILD; the log is shown only when
# the build fails.
build_project() {
  local log=$BUILD/build.log
  mkdir -p "$BUILD"
  if ! { cmake -S "$ROOT" -B "$BUILD" -G "Unix Makefiles" \
           -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" &&
         cmake --build "$BUILD" -j2; } >"$log" 2>&1; then
    cat "$log" >&2
    die "the build failed (log: $log)"
  fi
  grep -E 'warning:' "$log" >&2 || true
}
