#!/usr/bin/env bash
# Four live channels, 开始录像: the red mark on pane 1, channel n's live
# stream on port 3333 + n - 1 showing its own camera; after about 10 s,
# 停止录像: panes black and four complete H.264 recordings, one per channel
# folder; 监控 brings the pictures back.
. "$(dirname "$0")/../e2e_lib.sh"
new_app_dir
cameras register 4
start_program
wait_main_window
wait_live 1 2 3 4

read -r bx by <<<"$(record_button)"
mark_shown() {
  screenshot "$APPDIR/recording.png"
  holds "$(mark_pixels "$APPDIR/recording.png" 1) > 20"
}

click "$bx" "$by"
started=$SECONDS
wait_until 15 "no red recording mark at the top left of pane 1" mark_shown
holds "$(mark_pixels "$APPDIR/recording.png" 2) < 5" || fail "a recording mark on pane 2"

# Every channel's live stream, read as a Windows Media client does, all at once.
# Only the clients are waited for: the program is a background job too.
clients=()
for n in 1 2 3 4; do
  timeout 20 ffmpeg -v error -i "mmsh://127.0.0.1:$((3332 + n))/" -frames:v 10 -update 1 -y \
    "$APPDIR/stream$n.png" 2>"$APPDIR/stream$n.log" &
  clients+=($!)
done
wait "${clients[@]}"
for n in 1 2 3 4; do
  [ -s "$APPDIR/stream$n.png" ] ||
    fail "no live stream on port $((3332 + n)): $(head -3 "$APPDIR/stream$n.log")"
done

# About ten seconds of recording; the files are judged against the time it took.
remaining=$((10 - (SECONDS - started)))
[ $remaining -le 0 ] || sleep $remaining
click "$bx" "$by"
recorded=$((SECONDS - started))
for n in 1 2 3 4; do wait_until 15 "pane $n is not black after 停止录像" pane_black "$n"; done
for n in 1 2 3 4; do
  files=("$APPDIR/录像/#$n/"*.asf)
  [ ${#files[@]} = 1 ] || fail "channel $n folder holds ${#files[@]} recordings"
  judge_recording "${files[0]}" "$recorded"
  ffmpeg -v error -i "${files[0]}" -frames:v 1 -y "$APPDIR/file$n.png"
  name_region "$APPDIR/file$n.png" "$APPDIR/file_name$n.png"
  name_region "$APPDIR/stream$n.png" "$APPDIR/stream_name$n.png"
done
# Port 3332 + n carries channel n's camera: its name matches channel n's
# recording far better than any other channel's (names differ in one digit).
for n in 1 2 3 4; do
  own=$(image_difference "$APPDIR/stream_name$n.png" "$APPDIR/file_name$n.png")
  for m in 1 2 3 4; do
    [ "$m" = "$n" ] && continue
    other=$(image_difference "$APPDIR/stream_name$n.png" "$APPDIR/file_name$m.png")
    holds "$own * 3 < $other" ||
      fail "stream on port $((3332 + n)) does not show camera $n's name (own $own, camera $m $other)"
  done
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
pass "mark, four streams of their own cameras, four complete H.264 recordings, monitoring back"
