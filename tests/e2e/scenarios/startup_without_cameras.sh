#!/usr/bin/env bash
# Start-up with no camera: the main window opens, the storage tree appears
# beside the program, nothing is written to the settings, 录像文件 opens the
# recordings folder, closing ends the program with exit code 0.
. "$(dirname "$0")/../e2e_lib.sh"
new_app_dir
if [ -f "$BIN/testcam.exe" ]; then "$WINE" "$BIN/testcam.exe" clear >/dev/null 2>&1; fi

start_program
wait_main_window
[ "$WW" = 769 ] && [ "$WH" = 546 ] || fail "main window is ${WW}x${WH}, not 769x546"
[ -d "$APPDIR/录像" ] || fail "no 录像 folder beside the program"
[ -d "$APPDIR/截屏" ] || fail "no 截屏 folder beside the program"
[ ! -e "$SETTINGS" ] || fail "the settings file was written at start-up: $(cat "$SETTINGS")"
sleep 2  # the first tick of the monitoring timer has passed: still no message box
probe text "摄像头监控" 0 >/dev/null && fail "a message box appeared without cameras"
screenshot "$APPDIR/main.png"

read -r bx by <<<"$(child_centre "录像文件")"
click "$bx" "$by"
probe rect "录像" 15000 >/dev/null || fail "录像文件 opened no folder window"
screenshot "$APPDIR/folder.png"
close_front_window
probe gone "录像" 10000 || fail "the folder window did not close"

close_front_window
wait_exit 20
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
pass "main window shown, storage tree made, recordings folder opened, clean exit"
