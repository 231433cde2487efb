#!/usr/bin/env bash
# 视频属性 on panes 2 to 4 shows that channel's own camera; after 停止 on
# pane 3 the item is disabled there.
. "$(dirname "$0")/../e2e_lib.sh"
LIVE_TIMEOUT=45  # four cameras start slowly on a busy machine
new_app_dir
cameras register 4
start_program
wait_main_window
wait_live 1 2 3 4
sleep 2  # the renderer hands its input to the pane once it is set up

for n in 2 3 4; do
  menu_item "$n" 2
  properties="Filter$n 的属性"
  probe rect "$properties" 10000 >/dev/null || fail "视频属性 on pane $n showed no property pages"
  text=$(probe text "$properties" 2000)
  grep -q "^Test Camera $n\$" <<<"$text" || fail "视频属性 on pane $n shows \"$text\""
  read -r ox oy <<<"$(child_centre "确定" "$properties")"
  click "$ox" "$oy"
  probe gone "$properties" 20000 || fail "确定 did not close the property pages of pane $n"
done

menu_item 3 1
sleep 2
pane_black 3 || fail "停止 did not stop channel 3"
menu_item 3 2
sleep 2
probe rect "Filter3 的属性" 0 >/dev/null && fail "视频属性 opened on a stopped pane"
xdotool key Escape
sleep 1

close_front_window
wait_exit 30
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
pass "each pane's own property pages, disabled on a stopped pane"
