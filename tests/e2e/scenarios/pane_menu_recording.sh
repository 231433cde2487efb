#!/usr/bin/env bash
# The pane menu around recording. Channel 1 stopped, channels 2 and 3
# live: 开始录像 records only #2 and #3, draws no mark and leaves the caption
# at 开始录像. 停止 on a recording channel closes its file; after 监控 its
# writer records again, complete.
. "$(dirname "$0")/../e2e_lib.sh"
LIVE_TIMEOUT=45  # three cameras start slowly on a busy machine
new_app_dir
cameras register 3
start_program
wait_main_window
wait_live 1 2 3
sleep 2  # the renderer hands its input to the pane once it is set up
read -r bx by <<<"$(record_button)"
read -r mx my <<<"$(monitor_button)"

menu_item 1 1
sleep 2
pane_black 1 || fail "停止 did not stop channel 1"
click "$bx" "$by"
sleep 3
screenshot "$APPDIR/recording.png"
holds "$(mark_pixels "$APPDIR/recording.png" 1) < 5" || fail "a recording mark on the stopped pane 1"
wait_live 2 3
[ "$(recording_count 1)" = 0 ] || fail "a recording in the folder of stopped channel 1"
for n in 2 3; do [ "$(recording_count "$n")" = 1 ] || fail "channel $n did not record"; done

# 停止 on recording channel 2 closes its file.
menu_item 2 1
sleep 2
pane_black 2 || fail "停止 did not stop recording channel 2"
judge_readable "$(newest_recording 2)"

# The caption stayed 开始录像: this click records channel 3 anew and skips
# the stopped channels.
click "$bx" "$by"
sleep 3
wait_live 3
pane_black 2 || fail "开始录像 started the stopped channel 2"
[ "$(recording_count 3)" = 2 ] || fail "the second 开始录像 did not record channel 3 anew"
[ "$(recording_count 2)" = 1 ] || fail "the stopped channel 2 recorded"

click "$mx" "$my"
wait_live 1 2 3
click "$bx" "$by"
sleep 5
click "$bx" "$by"
sleep 2
for n in 1 2 3; do pane_black "$n" || fail "pane $n is not black after 停止录像"; done
for n in 1 2 3; do judge_readable "$(newest_recording "$n")"; done
no_box || fail "an unexpected message box"
close_front_window
wait_exit 30
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
pass "recording around stopped channels, a stopped recording closed, the writer back after 监控"
