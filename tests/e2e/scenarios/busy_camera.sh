#!/usr/bin/env bash
# Three cameras, the second held by another program: one message box with
# the program's text; channel 1 live, channels 2 and 3 not started.
. "$(dirname "$0")/../e2e_lib.sh"
new_app_dir
cameras register 3
cameras busy 2
start_program
wait_main_window
text=$(probe text "摄像头监控" 20000) || fail "no message box"
[ "$text" = "开启摄像头时发生错误，请检查摄像头是否已被其他程序开启。" ] || fail "message box says \"$text\""
probe press "摄像头监控" "确定" || probe press "摄像头监控" "OK" || fail "cannot answer the message box"
# Only a dialog counts: the application window shares the box's caption.
box_gone() { ! probe text "摄像头监控" 0 >/dev/null; }
wait_until 20 "the message box stayed after 确定" box_gone
wait_live 1
pane_black 2 || fail "pane 2 shows a picture"
pane_black 3 || fail "pane 3 shows a picture"
sleep 2
probe text "摄像头监控" 0 >/dev/null && fail "a second message box"
close_front_window
wait_exit 30
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
cameras busy 0
pass "one message, channel 1 live, 2 and 3 black"
