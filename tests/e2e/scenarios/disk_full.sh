#!/usr/bin/env bash
# Loop recording off on a 24 MB disk: recording stops before the disk is
# full, every pane says why in red, the button reads 开始录像 again (its
# next click starts recording), the files are readable and the program
# stays live. After space is freed, 监控 and 开始录像 record again.
. "$(dirname "$0")/../e2e_lib.sh"
new_app_dir
mount_small_disk 24
printf '[comm]\r\npath=%s\r\nloop=0\r\nauto=0\r\n' "$(windows_path "$DISK")" >"$SETTINGS"
cameras register 4
start_program
wait_main_window
wait_live 1 2 3 4

read -r bx by <<<"$(record_button)"
click "$bx" "$by"
log=$DISK/录像/记录.log
interrupted() { [ "$(grep -c '录像中断：磁盘空间不足' "$log" 2>/dev/null)" = 4 ]; }
# Four H.264 channels write about 150 KB/s: the floor takes minutes to reach.
wait_until 300 "four channels logged 录像中断：磁盘空间不足" interrupted
free=$(free_kb "$DISK")
holds "$free > 0" || fail "the disk filled up"
say "free space after the stop: $free KB"

# Red alert text at the top left of every pane, over a live picture.
sleep 2
wait_live 1 2 3 4
screenshot "$APPDIR/alert.png"
for n in 1 2 3 4; do
  read -r px py pw ph <<<"$(pane_rect "$n")"
  red=$(convert "$APPDIR/alert.png" -crop "$((pw - 8))x30+$((px + 4))+$((py + 4))" +repage \
          -fx '(r > 0.45 && g < 0.3 && b < 0.3) ? 1 : 0' -format '%[fx:mean*w*h]' info:)
  holds "$red > 200" || fail "no red alert text on pane $n ($red red pixels)"
done
for file in "$DISK/录像/"#?/*.asf; do
  ffmpeg -v error -xerror -i "$file" -f null - 2>"$APPDIR/decode.log" ||
    fail "ffmpeg cannot decode $file: $(head -3 "$APPDIR/decode.log")"
done
grep -q "写入错误" "$log" && fail "the recording ran into the full disk instead of stopping before it"

# Space freed: 监控, then the record button starts recording again.
rm -f "$DISK/录像/"#?/*.asf
read -r mx my <<<"$(monitor_button)"
click "$mx" "$my"
wait_live 1 2 3 4
click "$bx" "$by"
recording_again() { [ "$(ls "$DISK/录像/"#?/*.asf 2>/dev/null | wc -l)" = 4 ]; }
wait_until 20 "no new recordings after 开始录像" recording_again
sleep 5
click "$bx" "$by"
sleep 2
for n in 1 2 3 4; do pane_black "$n" || fail "pane $n still runs: the button did not read 停止录像"; done
# Each channel's file holds its part of those seconds (the channels start
# one after another); every one must be complete.
for file in "$DISK/录像/"#?/*.asf; do
  duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$file") ||
    fail "ffprobe cannot read $file"
  holds "$duration > 2" || fail "$file lasts only $duration s"
  ffmpeg -v error -xerror -i "$file" -f null - 2>"$APPDIR/decode.log" ||
    fail "ffmpeg cannot decode $file: $(head -3 "$APPDIR/decode.log")"
done

close_front_window
wait_exit 30
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
pass "stopped with $free KB free, alerts on four panes, recording again after space was freed"
