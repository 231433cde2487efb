#!/usr/bin/env bash
# The pane's popup menu: 停止 stops that channel alone, 监控 brings it back;
# 视频属性 shows the camera's property pages and the panes stay live.
. "$(dirname "$0")/../e2e_lib.sh"
new_app_dir
cameras register 2
start_program
wait_main_window
wait_live 1 2
wait_renderer 1
PROPERTIES="Filter1 的属性"
pane_menu_item 1 1 2   # 停止
wait_until 15 "停止 did not stop channel 1" pane_black 1
probe rect "$PROPERTIES" 0 >/dev/null && fail "停止 showed the property pages"
wait_live 2

read -r mx my <<<"$(monitor_button)"
click "$mx" "$my"
wait_live 1 2

wait_renderer 1
pane_menu_item 1 2 2   # 视频属性
probe rect "$PROPERTIES" 10000 >/dev/null || fail "视频属性 showed no property pages"
pane_black 1 && fail "视频属性 stopped channel 1"
screenshot "$APPDIR/properties.png"
read -r ox oy <<<"$(child_centre "确定" "$PROPERTIES")"
click "$ox" "$oy"
probe gone "$PROPERTIES" 20000 || fail "确定 did not close the property pages"
wait_live 1 2
close_front_window
wait_exit 30
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
pass "pane stopped and restarted, property pages shown and closed"
