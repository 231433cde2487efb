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
  [ -n "${DISK:-}" ] && { umount -l "$DISK" 2>/dev/null || true; }
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

# A small disk of $1 MB for the storage folder, at $DISK, unmounted when
# the scenario ends; the scenario is skipped where it cannot be mounted.
mount_small_disk() {
  mkdir -p "$APPDIR/disk"
  if ! mount -t tmpfs -o "size=${1}m" tmpfs "$APPDIR/disk" 2>/dev/null; then
    say "skipped [$SCENARIO]: cannot mount a ${1} MB tmpfs here (needs root)"
    exit 77
  fi
  DISK=$APPDIR/disk
}

# The Windows name of a Linux path, through Wine's Z: drive.
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }

# Free kilobytes of the file system holding $1.
free_kb() { df -Pk "$1" | awk 'NR == 2 { print $4 }'; }

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

# Screen centre of a child window found by its text (a button's caption),
# in the main window or the window captioned $2.
child_centre() {
  local line
  line=$(probe child "${2:-$CAPTION}" "$1") || fail "no control \"$1\" in \"${2:-$CAPTION}\""
  read -r x y w h <<<"$line"
  echo "$((x + w / 2)) $((y + h / 2))"
}

# Screen rectangle "x y w h" of pane N (1-4) as the main window lays it out:
# the pane area is the client area left of the 90-pixel button column.
pane_rect() {
  local n=$1 w=$((CW - 90)) h=$CH
  local pw=$(((w - 14) / 2)) ph=$(((h - 14) / 2)) x y
  case $n in
    1) x=5; y=5 ;;
    2) x=$((w / 2 + 3)); y=5 ;;
    3) x=5; y=$((ph + 9)) ;;
    4) x=$(((w + 6) / 2)); y=$(((h + 4) / 2)) ;;
  esac
  echo "$((CX + x)) $((CY + y)) $pw $ph"
}

pane_centre() {
  read -r x y w h <<<"$(pane_rect "$1")"
  echo "$((x + w / 2)) $((y + h / 2))"
}

# Task buttons in the taskbar of Wine's desktop in a screenshot, the start
# button not counted: each button ends in a column of dark 3-D shadow over
# the strip's whole inner height, which no text draws.
taskbar_buttons() {
  local x y w h
  read -r x y w h <<<"$(probe tray)" || fail "no taskbar"
  convert "$1" -crop "${w}x$((h - 6))+$x+$((y + 3))" +repage -colorspace gray \
    -fx 'u > 0.35 && u < 0.5 ? 1 : 0' -scale "${w}x1!" -depth 8 txt:- |
    awk 'NR > 1 && /gray\(255\)/ { n++ } END { print n - 1 }'
}

# Waits until the taskbar holds exactly N task buttons (the program's own:
# 1; none while it is in the tray), or fails saying when ($2). Wine adds a
# button for good when a window shows, so a stray one never goes away.
taskbar_holds() {
  local deadline=$((SECONDS + 10)) shot=$APPDIR/taskbar.png n
  while screenshot "$shot"; n=$(taskbar_buttons "$shot"); [ "$n" != "$1" ]; do
    [ $SECONDS -lt $deadline ] || fail "$2: the taskbar holds $n task buttons, expected $1"
    sleep 0.3
  done
}

# The speed buttons of the button column: 监控 and 开始录像/停止录像.
monitor_button() { echo "$((CX + CW - 90 + 45)) $((CY + 37))"; }
record_button() { echo "$((CX + CW - 90 + 45)) $((CY + 85))"; }

# Brightness of the middle half of pane N in a screenshot.
pane_brightness() {
  read -r x y w h <<<"$(pane_rect "$2")"
  brightness "$1" $((x + w / 4)) $((y + h / 4)) $((w / 2)) $((h / 2))
}

# Whether a screen rectangle differs between two screenshots.
region_changed() {
  local geometry="$5x$6+$3+$4" a=$APPDIR/.crop_a.png b=$APPDIR/.crop_b.png diff
  convert "$1" -crop "$geometry" +repage "$a"
  convert "$2" -crop "$geometry" +repage "$b"
  diff=$(compare -metric AE "$a" "$b" null: 2>&1 || true)
  [ "${diff%% *}" -gt 50 ] 2>/dev/null
}

# Whether pane N differs between two screenshots (a live picture moves).
pane_changed() {
  read -r x y w h <<<"$(pane_rect "$3")"
  region_changed "$1" "$2" $((x + w / 4)) $((y + h / 4)) $((w / 2)) $((h / 2))
}

# Whether an arithmetic condition on decimal numbers holds.
holds() { awk "BEGIN { exit !($1) }"; }

cameras() {
  if [ ! -f "$BIN/testcam.exe" ]; then
    say "skipped [$SCENARIO]: the test camera is not built"
    exit 77
  fi
  "$WINE" "$BIN/testcam.exe" "$@" >/dev/null 2>&1 || fail "testcam.exe $* failed"
}

# Waits until every listed pane shows a live, moving picture.
wait_live() {
  local deadline=$((SECONDS + ${LIVE_TIMEOUT:-60})) a=$APPDIR/live_a.png b=$APPDIR/live_b.png n ok
  while :; do
    screenshot "$a"; sleep 0.5; screenshot "$b"
    ok=1
    for n in "$@"; do
      if ! pane_changed "$a" "$b" "$n" || holds "$(pane_brightness "$b" "$n") < 0.05"; then ok=0; fi
    done
    [ $ok = 1 ] && return 0
    [ $SECONDS -lt $deadline ] || fail "panes $* are not live"
  done
}

# Waits until pane N's renderer forwards its input to the pane: the renderer
# window takes the pane's name as its caption just before it gets the pane
# as its message drain.
renderer_named() { probe child "$CAPTION" "VideoWindow$1" >/dev/null; }
wait_renderer() { wait_until 15 "pane $1's renderer never took the pane's name" renderer_named "$1"; }

# Opens pane N's menu with a right click and clicks item K (1-based) of its
# ITEMS equal rows, once the menu is seen open.
pane_menu_item() {
  local x y line mx my mw mh
  read -r x y <<<"$(pane_centre "$1")"
  click "$x" "$y" 3
  line=$(probe menu 10000) || fail "a right click on pane $1 opened no menu"
  read -r mx my mw mh <<<"$line"
  click $((mx + mw / 2)) $((my + mh * (2 * $2 - 1) / (2 * $3)))
  wait_until 20 "the menu stayed open after a click on its item $2" menu_closed
}
menu_closed() { ! probe menu 0 >/dev/null; }

# A pane is black: dark and not moving.
pane_black() {
  local a=$APPDIR/black_a.png b=$APPDIR/black_b.png
  screenshot "$a"; sleep 0.5; screenshot "$b"
  ! pane_changed "$a" "$b" "$1" && holds "$(pane_brightness "$b" "$1") < 0.05"
}

# Judges a recording with ffprobe/ffmpeg: readable (below), at about the
# camera's 30 frames a second, and of a duration near the expected seconds.
judge_recording() {
  local file=$1 seconds=$2 duration
  judge_readable "$file"
  # The test camera's own schedule slips on a loaded machine; a writer that
  # loses frames falls far below this all the same.
  holds "$RECORDED_FRAMES > $seconds * 30 * 0.6" || fail "$file holds only $RECORDED_FRAMES frames for $seconds s"
  duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$file")
  holds "$duration > $seconds * 0.8 && $duration < $seconds * 1.4" ||
    fail "$file lasts $duration s, expected about $seconds s"
}

# A complete recording of any length: one 640x480 H.264 stream of at least a
# second, every packet a frame that decodes; sets RECORDED_FRAMES. For
# channels that start one after another.
judge_readable() {
  local file=$1 info codec width height frames packets
  [ -s "$file" ] || fail "no recording $file"
  info=$(ffprobe -v error -count_frames -count_packets \
           -show_entries stream=codec_name,width,height,nb_read_packets,nb_read_frames -of csv=p=0 "$file") ||
    fail "ffprobe cannot read $file"
  IFS=, read -r codec width height frames packets <<<"$info"
  [ "$codec,$width,$height" = "h264,640,480" ] || fail "$file holds \"$info\", not one 640x480 H.264 stream"
  [ "$frames" = "$packets" ] || fail "$file: $packets packets but $frames decoded frames"
  RECORDED_FRAMES=$frames
  holds "$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$file" | sed 's/N\/A/0/') > 1" ||
    fail "$file holds less than a second"
  ffmpeg -v error -xerror -i "$file" -f null - 2>"$APPDIR/decode.log" || fail "ffmpeg cannot decode $file: $(head -3 "$APPDIR/decode.log")"
}

# The caption's first line (the camera's name) of a test camera picture,
# cut from a 640x480 image as a grey PNG.
name_region() { convert "$1" -crop 260x34+0+4 +repage -colorspace gray "$2"; }

# Root mean square difference (0..1) of two images of one size.
# compare exits 1 for images that differ at all, 2 when it cannot compare.
image_difference() {
  local out
  out=$(compare -metric RMSE "$1" "$2" null: 2>&1) || [ $? = 1 ] || fail "compare: $out"
  sed -n 's/.*(\(.*\)).*/\1/p' <<<"$out"
}

# Waits until the condition command succeeds, or fails the scenario.
wait_until() {
  local seconds=$1 what=$2
  shift 2
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    [ $SECONDS -lt $deadline ] || fail "$what (waited $seconds s)"
    sleep 0.3
  done
}

# Answers the program's next message box (caption 摄像头监控) with its OK
# button and prints the box's text; fails when none shows within $1 s.
answer_box() {
  local text
  text=$(probe text "摄像头监控" "$((${1:-20} * 1000))") || fail "no message box"
  probe press "摄像头监控" "确定" || probe press "摄像头监控" "OK" || fail "cannot answer the message box"
  wait_until 20 "the message box did not close" no_box
  printf '%s\n' "$text"
}

# Red pixels in the 40 × 40 corner of pane N where the recording mark is drawn.
mark_pixels() {
  local x y w h
  read -r x y w h <<<"$(pane_rect "$2")"
  convert "$1" -crop "40x40+$((x + 4))+$((y + 4))" +repage \
    -fx '(r > 0.45 && g < 0.3 && b < 0.3) ? 1 : 0' -format '%[fx:mean*w*h]' info:
}

no_box() { ! probe text "摄像头监控" 0 >/dev/null; }

# Opens pane N's menu and clicks its first (停止) or second (视频属性) item.
menu_item() {
  local x y
  read -r x y <<<"$(pane_centre "$1")"
  click "$x" "$y" 3
  sleep 1
  click $((x + 20)) $((y + ($2 == 1 ? 10 : 30)))
}

# The newest recording of channel N.
newest_recording() { ls -t "$APPDIR/录像/#$1/"*.asf 2>/dev/null | head -n 1; }
recording_count() { find "$APPDIR/录像/#$1/" -maxdepth 1 -name '*.asf' 2>/dev/null | wc -l; }
