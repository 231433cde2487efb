#!/usr/bin/env bash
# A double click on a live pane fills the screen with its picture; another
# brings the picture back into the pane. The renderers' windows never get a
# taskbar button of their own: only the program's button is there.
. "$(dirname "$0")/../e2e_lib.sh"
new_app_dir
cameras register 4
start_program
wait_main_window
wait_live 1 2 3 4
taskbar_holds 1 "after start-up"

read -r x y <<<"$(monitor_button)"
click "$x" "$y"
wait_live 1 2 3 4
taskbar_holds 1 "after 监控"
wait_renderer 2

# The test camera's picture: a moving caption over colour bars. Full screen,
# the caption moves in the screen's top left and the bars fill its middle.
full_screen() {
  local a=$APPDIR/full_a.png b=$APPDIR/full_b.png
  screenshot "$a"; sleep 0.5; screenshot "$b"
  region_changed "$a" "$b" 0 100 800 130 && holds "$(brightness "$b" 100 400 1000 400) > 0.3"
}
in_pane() { ! full_screen && wait_live 2; }

read -r x y <<<"$(pane_centre 2)"
double_click "$x" "$y"
wait_until 15 "a double click did not fill the screen with pane 2" full_screen
double_click 640 512
wait_until 15 "a second double click did not bring the picture back into pane 2" in_pane
wait_live 1 2 3 4
taskbar_holds 1 "after full screen and back"
close_front_window
wait_exit 30
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
pass "full screen and back, one taskbar button"
