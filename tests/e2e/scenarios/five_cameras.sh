#!/usr/bin/env bash
# Five cameras are more than the panes: no camera is chosen for any channel,
# so nothing goes live, not even after 监控, and nothing is reported.
. "$(dirname "$0")/../e2e_lib.sh"
new_app_dir
cameras register 5
start_program
wait_main_window
sleep 3
read -r mx my <<<"$(monitor_button)"
click "$mx" "$my"
sleep 2
for n in 1 2 3 4; do pane_black $n || fail "pane $n shows a picture"; done
probe text "摄像头监控" 0 >/dev/null && fail "a message box"
close_front_window
wait_exit 30
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
pass "five cameras: no channel started, no message"
