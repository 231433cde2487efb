#!/usr/bin/env bash
# Closing the window while two channels record leaves complete recordings
# and ends the program with exit code 0.
. "$(dirname "$0")/../e2e_lib.sh"
new_app_dir
cameras register 2
start_program
wait_main_window
wait_live 1 2
read -r bx by <<<"$(record_button)"
click "$bx" "$by"
sleep 5
close_front_window
wait_exit 30
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
for n in 1 2; do
  files=("$APPDIR/录像/#$n/"*.asf)
  judge_recording "${files[0]}" 5
done
pass "recordings complete after closing"
