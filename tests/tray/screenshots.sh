#!/usr/bin/env bash
# Photographs the desktop at the named points of the minimise-to-tray test
# (shown, in the tray, restored): ./tests/tray/screenshots.sh [OUTDIR]
# Uses $DISPLAY, or a private Xvfb when it is unset.
set -euo pipefail
. "$(dirname "$0")/../../scripts/lib.sh"
OUT=$(mkdir -p "${1:-$BUILD/tray-screenshots}" && cd "${1:-$BUILD/tray-screenshots}" && pwd)
rm -f "$OUT"/*.ready "$OUT"/*.done "$OUT"/*.png
if [ -z "${DISPLAY:-}" ]; then
  start_xvfb
  trap stop_xvfb EXIT
fi
export CAMMON_SHOT_DIR="Z:$(printf '%s' "$OUT" | tr / '\\')"
"$WINE" "$BUILD/bin/test_tray.exe" -tc="minimise to tray*" -sc="minimising hides*" &
test_pid=$!
shots=0
while kill -0 "$test_pid" 2>/dev/null; do
  for ready in "$OUT"/*.ready; do
    [ -e "$ready" ] || continue
    name=$(basename "$ready" .ready)
    import -window root "$OUT/$name.png"
    rm -f "$ready"
    touch "$OUT/$name.done"
    say "screenshot: $OUT/$name.png"
    shots=$((shots + 1))
  done
  sleep 0.1
done
wait "$test_pid"
rm -f "$OUT"/*.done
[ "$shots" -eq 3 ] || die "expected 3 screenshots, took $shots"
