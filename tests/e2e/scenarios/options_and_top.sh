#!/usr/bin/env bash
# 系统设置 opens the options dialog; 确定 writes the path and the idle-watch
# flag. Ticking 总在最前 keeps the window on top and writes "ontop".
. "$(dirname "$0")/../e2e_lib.sh"
new_app_dir
cameras register 1
start_program
wait_main_window

read -r x y <<<"$(child_centre "系统设置")"
click "$x" "$y"
probe rect "设置" 10000 >/dev/null || fail "the options dialog did not open"
screenshot "$APPDIR/options.png"
read -r x y <<<"$(child_centre "确定" "设置")"
click "$x" "$y"
probe gone "设置" 10000 || fail "确定 did not close the dialog"
[ "$(settings_value path)" = "$(printf '%s' "Z:$APPDIR\\" | tr / '\\\\')" ] ||
  fail "path written as \"$(settings_value path)\""
[ "$(settings_value auto)" = 1 ] || fail "auto written as \"$(settings_value auto)\""

read -r x y <<<"$(child_centre "总在最前")"
click "$x" "$y"
wait_until 20 "ontop=1 was not written" test "$(settings_value ontop)" = 1
probe state "$CAPTION" | grep -q 'topmost=1' || fail "the window is not topmost"
click "$x" "$y"
wait_until 20 "ontop=0 was not written" test "$(settings_value ontop)" = 0
probe state "$CAPTION" | grep -q 'topmost=0' || fail "the window is still topmost"

close_front_window
wait_exit 30
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
pass "options round trip, stay on top on and off"
