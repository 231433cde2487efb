#!/usr/bin/env bash
# A close that goes no further: the session end is asked for while channel
# 1 records and channel 2 (a camera held by another program) is half-built,
# then cancelled by another program. The query reports channel 2, closes
# channel 1's file complete and leaves the program running; 监控 then brings
# the channels back, and a second close ends the program with every file
# complete.
. "$(dirname "$0")/../e2e_lib.sh"
new_app_dir
cameras register 2
cameras busy 2
start_program
wait_main_window
answer_box >/dev/null
wait_live 1
read -r bx by <<<"$(record_button)"
click "$bx" "$by"
started=$SECONDS
answer_box >/dev/null
sleep 4

probe endsession "$CAPTION" || fail "cannot reach the program"
seconds=$((SECONDS - started))
boxes=0
while text=$(probe text "摄像头监控" 5000); do
  boxes=$((boxes + 1))
  [ $boxes -le 2 ] || fail "more than one error box per step of channel 2's shutdown: \"$text\""
  probe press "摄像头监控" "确定" || probe press "摄像头监控" "OK" || fail "cannot answer \"$text\""
  wait_until 20 "the message box did not close" no_box
done
kill -0 "$APP_PID" 2>/dev/null || fail "the program ended although the session went on"
probe rect "$CAPTION" 10000 >/dev/null || fail "the main window is gone"
pane_black 1 || fail "channel 1 still runs after the close query"
judge_recording "$(newest_recording 1)" "$seconds"

cameras busy 0
read -r mx my <<<"$(monitor_button)"
click "$mx" "$my"
wait_live 1 2
no_box || fail "a message box from 监控 after the close query"
click "$bx" "$by"
started=$SECONDS
sleep 5
close_front_window
seconds=$((SECONDS - started))
wait_exit 30
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
[ "$(recording_count 1)" = 2 ] || fail "channel 1 folder holds $(recording_count 1) recordings"
for n in 1 2; do judge_recording "$(newest_recording "$n")" "$seconds"; done
pass "cancelled session end: channel 1 closed, program running, 监控 and a second close work"
