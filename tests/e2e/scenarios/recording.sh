#!/usr/bin/env bash
# Four live channels, 开始录像: the red mark on pane 1, the live stream on
# port 3333; after about 10 s, 停止录像: panes black and four complete
# recordings, one per channel folder; 监控 brings the pictures back.
. "$(dirname "$0")/../e2e_lib.sh"
new_app_dir
cameras register 4
start_program
wait_main_window
wait_live 1 2 3 4

read -r bx by <<<"$(record_button)"
click "$bx" "$by"
started=$SECONDS
sleep 2
screenshot "$APPDIR/recording.png"
red=$(mark_pixels "$APPDIR/recording.png" 1)
holds "$red > 20" || fail "no red recording mark at the top left of pane 1 ($red red pixels)"
holds "$(mark_pixels "$APPDIR/recording.png" 2) < 5" || fail "a recording mark on pane 2"

# The live stream of a recording channel, read as a Windows Media client does.
timeout 20 ffmpeg -v error -i mmsh://127.0.0.1:3333/ -frames:v 10 -f null - 2>"$APPDIR/stream.log" ||
  fail "no live stream on port 3333: $(head -3 "$APPDIR/stream.log")"

sleep $((10 - (SECONDS - started)))
click "$bx" "$by"
sleep 2
for n in 1 2 3 4; do pane_black "$n" || fail "pane $n is not black after 停止录像"; done
for n in 1 2 3 4; do
  files=("$APPDIR/录像/#$n/"*.asf)
  [ ${#files[@]} = 1 ] || fail "channel $n folder holds ${#files[@]} recordings"
  judge_recording "${files[0]}" 10
done

read -r mx my <<<"$(monitor_button)"
click "$mx" "$my"
wait_live 1 2 3 4
close_front_window
wait_exit 30
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
for n in 1 2 3 4; do
  count=$(ls "$APPDIR/录像/#$n/" | wc -l)
  [ "$count" = 1 ] || fail "monitoring alone made a new recording in #$n"
done
pass "mark, stream, four complete recordings, monitoring back"
