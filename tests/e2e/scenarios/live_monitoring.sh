#!/usr/bin/env bash
# Four cameras: about a second after the window shows, all four panes are
# live without a click. Closing ends the program with exit code 0.
. "$(dirname "$0")/../e2e_lib.sh"
new_app_dir
cameras register 4
start_program
wait_main_window
wait_live 1 2 3 4
screenshot "$APPDIR/four_live.png"
close_front_window
wait_exit 30
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
pass "four live panes without a click, clean exit"
