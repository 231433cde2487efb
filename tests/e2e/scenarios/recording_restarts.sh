#!/usr/bin/env bash
# Two recordings in one minute through the real writer, the first ended by
# 监控: both complete, the second named " (2)", and after 监控 the caption is
# 开始录像 again. Then a channel folder that cannot be made (a file holds its
# name): one error box, channel 2 goes back to live monitoring, channels 1
# and 3 record, the caption reads 停止录像; 停止录像 closes their files.
. "$(dirname "$0")/../e2e_lib.sh"
LIVE_TIMEOUT=45  # three cameras start slowly on a busy machine
new_app_dir
cameras register 3
start_program
wait_main_window
wait_live 1 2 3
read -r bx by <<<"$(record_button)"
read -r mx my <<<"$(monitor_button)"

# Both recordings begin within the same minute; the program takes the
# clicks in order, so 开始录像 can follow 监控 at once.
while [ "$(date +%-S)" -gt 20 ]; do sleep 1; done
click "$bx" "$by"
sleep 4
click "$mx" "$my"
click "$bx" "$by"
sleep 4
click "$bx" "$by"
sleep 2
for n in 1 2 3; do pane_black "$n" || fail "pane $n is not black after 停止录像"; done
for n in 1 2 3; do
  [ "$(recording_count "$n")" = 2 ] || fail "channel $n folder holds $(recording_count "$n") recordings"
  older=$(ls "$APPDIR/录像/#$n/" | grep -v ' (2)\.asf$') || fail "channel $n: no first recording"
  newer="${older%.asf} (2).asf"
  [ -f "$APPDIR/录像/#$n/$newer" ] || fail "channel $n: no \"$newer\" beside \"$older\""
  judge_readable "$APPDIR/录像/#$n/$older"
  judge_readable "$APPDIR/录像/#$n/$newer"
done

click "$mx" "$my"
wait_live 1 2 3
rm -rf "$APPDIR/录像/#2"
: >"$APPDIR/录像/#2"
click "$bx" "$by"
answer_box >/dev/null
sleep 1
no_box || fail "a second error box"
wait_live 1 2 3
sleep 3
click "$bx" "$by"
sleep 2
no_box || fail "an error box at 停止录像"
for n in 1 2 3; do pane_black "$n" || fail "pane $n is not black after 停止录像"; done
[ "$(recording_count 1)" = 3 ] || fail "channel 1 did not record"
[ "$(recording_count 3)" = 3 ] || fail "channel 3 did not record after the failing channel"
judge_readable "$(newest_recording 1)"
judge_readable "$(newest_recording 3)"
close_front_window
wait_exit 30
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
pass "same-minute recordings named (2), failing folder reported once, the other channels record"
