# Shared steps of the end-to-end scenarios; sourced by each scenario.
set -euo pipefail
E2E_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$E2E_DIR/../../scripts/lib.sh"
BIN=$BUILD/bin
CAPTION="多路摄像头监控系统"
SCENARIO=$(basename "$0" .sh)
APP_PID=

fail() {
  say "FAIL [$SCENARIO]: $*"
  [ -n "${APPDIR:-}" ] && [ -d "$APPDIR" ] && import -window root "$APPDIR/failure.png" 2>/dev/null &&
    say "  screenshot: $APPDIR/failure.png"
  exit 1
}
pass() { say "ok [$SCENARIO]: $*"; }

finish() {
  local rc=$?
  if [ -n "$APP_PID" ] && kill -0 "$APP_PID" 2>/dev/null; then kill "$APP_PID" 2>/dev/null || true; fi
  [ -n "${XVFB_PID:-}" ] && { "$WINESERVER" -k 2>/dev/null || true; stop_xvfb; }
  exit $rc
}
trap finish EXIT

if [ -z "${DISPLAY:-}" ]; then start_xvfb; fi

# A private copy of the program: its settings file and storage folders are
# made beside it, inside the build tree.
new_app_dir() {
  APPDIR=$BUILD/e2e/$SCENARIO
  rm -rf "$APPDIR"
  mkdir -p "$APPDIR"
  cp "$BIN/cammon.exe" "$APPDIR/"
  SETTINGS=$APPDIR/cammon.ini
}

start_program() {
  "$WINE" "$APPDIR/cammon.exe" >"$APPDIR/wine.log" 2>&1 &
  APP_PID=$!
}

probe() { "$WINE" "$BIN/probe.exe" "$@" 2>/dev/null | tr -d '\r'; }

# Sets WX WY WW WH (window) and CX CY CW CH (client area, screen coordinates).
wait_main_window() {
  local line
  line=$(probe rect "$CAPTION" "${1:-30000}") || fail "the main window did not appear"
  read -r WX WY WW WH CX CY CW CH <<<"$line"
}

# Waits for the program to end; sets EXIT_CODE.
wait_exit() {
  local deadline=$((SECONDS + ${1:-30}))
  while kill -0 "$APP_PID" 2>/dev/null; do
    [ $SECONDS -lt $deadline ] || fail "the program did not end within ${1:-30} s"
    sleep 0.2
  done
  set +e
  wait "$APP_PID"
  EXIT_CODE=$?
  set -e
  APP_PID=
}

click() { xdotool mousemove "$1" "$2" click "${3:-1}"; }
double_click() { xdotool mousemove "$1" "$2" click --repeat 2 --delay 80 1; }
# Closes the window in front as a user does with the keyboard.
close_front_window() { xdotool key --clearmodifiers alt+F4; }
screenshot() { import -window root "$1"; }

# Mean brightness (0..1) of a screen rectangle in a screenshot.
brightness() { convert "$1" -crop "$4x$5+$2+$3" +repage -colorspace gray -format '%[fx:mean]' info:; }

settings_value() { sed -n "s/^$1=//p" "$SETTINGS" 2>/dev/null | tr -d '\r'; }
