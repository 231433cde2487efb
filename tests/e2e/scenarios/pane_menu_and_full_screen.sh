#!/usr/bin/env bash
# The pane's popup menu: 停止 stops that channel alone, 监控 brings it back.
# A double click shows the pane full screen, another one returns it.
. "$(dirname "$0")/../e2e_lib.sh"
new_app_dir
cameras register 2
start_program
wait_main_window
wait_live 1 2

read -r x y <<<"$(pane_centre 1)"
click "$x" "$y" 3
sleep 1
screenshot "$APPDIR/menu.png"
click $((x + 20)) $((y + 10))   # the first item, 停止
sleep 2
pane_black 1 || fail "停止 did not stop channel 1"
wait_live 2

read -r mx my <<<"$(monitor_button)"
click "$mx" "$my"
wait_live 1 2

double_click "$x" "$y"
sleep 2
screenshot "$APPDIR/full.png"
sleep 0.5
screenshot "$APPDIR/full2.png"
# Full screen: the live picture (its moving frame counter at the top left)
# covers the desktop far outside the window.
region_changed "$APPDIR/full.png" "$APPDIR/full2.png" 0 0 240 200 ||
  fail "no full-screen picture at the top left of the screen"
double_click 640 512
sleep 2
wait_main_window
wait_live 1 2
close_front_window
wait_exit 30
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
pass "pane stopped and restarted, full screen and back"
