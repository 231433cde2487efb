#!/usr/bin/env bash
# Three cameras, the second held by another program: channel 2 is left
# half-built. 开始录像 records channel 1 and reports channel 2 in one error
# box; the caption reads 停止录像. With the camera freed, 监控 brings all
# three panes live and ends the recording, complete; the caption is back to
# 开始录像, so the next click records every channel instead of stopping.
. "$(dirname "$0")/../e2e_lib.sh"
new_app_dir
cameras register 3
cameras busy 2
start_program
wait_main_window
text=$(answer_box)
[ "$text" = "开启摄像头时发生错误，请检查摄像头是否已被其他程序开启。" ] || fail "message box says \"$text\""
wait_live 1
pane_black 2 || fail "pane 2 shows a picture"

read -r bx by <<<"$(record_button)"
click "$bx" "$by"
started=$SECONDS
answer_box >/dev/null
sleep 1
no_box || fail "a second error box for one half-built channel"
wait_live 1
sleep 5

cameras busy 0
read -r mx my <<<"$(monitor_button)"
click "$mx" "$my"
seconds=$((SECONDS - started))
wait_live 1 2 3
no_box || fail "a message box after the camera was freed"
[ "$(recording_count 1)" = 1 ] || fail "channel 1 folder holds $(recording_count 1) recordings"
judge_recording "$(newest_recording 1)" "$seconds"

click "$bx" "$by"
started=$SECONDS
sleep 5
wait_live 1 2 3
click "$bx" "$by"
seconds=$((SECONDS - started))
sleep 2
for n in 1 2 3; do pane_black "$n" || fail "pane $n is not black after 停止录像"; done
[ "$(recording_count 1)" = 2 ] || fail "the second 开始录像 did not record channel 1"
for n in 1 2 3; do judge_recording "$(newest_recording "$n")" "$seconds"; done
close_front_window
wait_exit 30
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
pass "half-built channel reported once, rebuilt by 监控, recordings complete"
