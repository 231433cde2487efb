#!/usr/bin/env bash
# Minimising hides the window and its taskbar button into the notification
# area; a click on the tray icon brings it back in front. No renderer
# window of the four panes shows a taskbar button on the way.
. "$(dirname "$0")/../e2e_lib.sh"
new_app_dir
cameras register 4
start_program
wait_main_window
wait_live 1 2 3 4

probe minimize "$CAPTION"
probe gone "$CAPTION" 10000 || fail "the window did not go to the tray"
taskbar_holds 0 "in the tray"
read -r tx ty tw th <<<"$(probe tray)" || fail "no taskbar"
# Ours is the only icon: the rightmost of the notification area.
click $((tx + tw - 10)) $((ty + th / 2))
probe rect "$CAPTION" 10000 >/dev/null || fail "a click on the tray icon did not bring the window back"
probe state "$CAPTION" | grep -q 'iconic=0' || fail "the window came back minimised"
wait_main_window
wait_live 1 2 3 4
taskbar_holds 1 "after the tray round trip"
click $((WX + WW - 15)) $((WY + 13))  # the close box of the window's frame
wait_exit 30
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
pass "to the tray and back, one taskbar button"
