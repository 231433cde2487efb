#!/usr/bin/env bash
# Unattended recording on a 16 MB disk with 8-second segments: four channels
# record for three minutes (about 150 KB/s of H.264 together); segments
# rotate, loop recording deletes the oldest and logs each deletion, free
# space never falls below the floor (1.6 MB, a tenth of the disk), every
# file left is readable, and a channel's files follow each other without a
# lost frame.
. "$(dirname "$0")/../e2e_lib.sh"
new_app_dir
mount_small_disk 16
printf '[comm]\r\npath=%s\r\nsegment=8s\r\nauto=0\r\n' "$(windows_path "$DISK")" >"$SETTINGS"
cameras register 4
start_program
wait_main_window
wait_live 1 2 3 4

floor_kb=$((16 * 1024 / 10))
read -r bx by <<<"$(record_button)"
click "$bx" "$by"
started=$SECONDS
least=$(free_kb "$DISK")
: >"$APPDIR/seen.txt"
while [ $((SECONDS - started)) -lt 180 ]; do
  free=$(free_kb "$DISK")
  [ "$free" -lt "$least" ] && least=$free
  ls "$DISK/录像/"#?/*.asf >>"$APPDIR/seen.txt" 2>/dev/null || true
  sleep 0.5
done
say "least free space while recording: $least KB (floor $floor_kb KB)"
click "$bx" "$by"
sleep 3
kill -0 "$APP_PID" 2>/dev/null || fail "the program ended while recording"

sort -u "$APPDIR/seen.txt" -o "$APPDIR/seen.txt"
log=$DISK/录像/记录.log
[ -s "$log" ] || fail "no event log"
head -c 3 "$log" | cmp -s - <(printf '\xef\xbb\xbf') || fail "the log does not start with a UTF-8 byte-order mark"
deleted=0
while read -r file; do
  [ -e "$file" ] && continue
  deleted=$((deleted + 1))
  grep -qF "循环录像删除 $(basename "$file")（" "$log" || fail "the log does not name the deleted $(basename "$file")"
done <"$APPDIR/seen.txt"
[ $deleted -gt 0 ] || fail "loop recording deleted nothing"
for n in 1 2 3 4; do
  count=$(grep -c "/#$n/" "$APPDIR/seen.txt")
  [ "$count" -ge 10 ] || fail "channel $n made only $count segments in 3 minutes"
done
holds "$least >= $floor_kb" || fail "free space fell to $least KB, below the $floor_kb KB floor"
for file in "$DISK/录像/"#?/*.asf; do
  ffprobe -v error "$file" >/dev/null 2>&1 || fail "ffprobe cannot read $file"
  ffmpeg -v error -xerror -i "$file" -f null - 2>"$APPDIR/decode.log" ||
    fail "ffmpeg cannot decode $file: $(head -3 "$APPDIR/decode.log")"
done
grep -q "录像中断" "$log" && fail "a recording was interrupted: $(grep 录像中断 "$log" | head -2)"

# A channel's files placed end to end: the step from a file's last frame to
# the next file's first is no longer than the camera's own steps between
# frames inside those files, so the switch adds no gap (a lost frame would
# make a step of two intervals, which the loaded test camera shows only
# where it skipped itself). A file's frames are at its preroll (File
# Properties + 80, the time its first frame was taken) plus ffprobe's
# decoding times (ASF files carry no other).
widest=0
for n in 1 2 3 4; do
  for file in "$DISK/录像/#$n/"*.asf; do
    preroll=$(od -An -tu8 -j110 -N8 "$file" | tr -d ' ')
    ffprobe -v error -select_streams v:0 -show_entries packet=dts_time -of csv=p=0 "$file" |
      awk -v p="$preroll" -v f="$(basename "$file")" '$1 ~ /^[0-9]/ {
          t = $1 * 1000; if (n++) { if (t - last > step) step = t - last } else first = t; last = t }
        END { if (n > 1) printf "%d %d %d %s\n", first + p, last + p, step, f }'
  done | sort -n >"$APPDIR/spans$n.txt"
  steps=$(awk 'NR > 1 { printf "%d %d %s\n", $1 - end, ($3 > inner ? $3 : inner), name } { end = $2; inner = $3; name = $4 }' "$APPDIR/spans$n.txt")
  [ -n "$steps" ] || fail "channel $n left fewer than two files to place end to end"
  while read -r step inner name; do
    [ "$step" -gt "$widest" ] && widest=$step
    [ "$step" -le "$inner" ] ||
      fail "channel $n: a step of $step ms after $name, the camera's widest inside the files $inner ms (log: $(grep -F "#$n  丢帧" "$log" | grep -F "#$n\\$name" | head -1))"
  done <<<"$steps"
done
say "widest step at a switch: $widest ms"

close_front_window
wait_exit 30
[ "$EXIT_CODE" = 0 ] || fail "exit code $EXIT_CODE"
grep -q "程序退出" "$log" || fail "the log does not record the exit"
pass "$(wc -l <"$APPDIR/seen.txt") segments, $deleted deleted and logged, least free $least KB, widest step at a switch $widest ms"
