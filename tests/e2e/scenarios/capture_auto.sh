# Automatic capture in JPEG mode with the hot key as its switch (option flag 0x04) and
# an interval of 300 ms: the tray icon turns to the capturing icon, frames come at the
# interval, none while Ctrl is held, and the hot key again stops it. The player's
# picture moves on every 50 ms, so each file shows when it was taken.
source "$E2E_LIB"
source "$(dirname "$E2E_LIB")/capture_lib.sh"

set_options flags 4 intervaltimer 300
start_program
wait_main >/dev/null
start_player gom gom 160 120 300 300 --animate 50

# The taskbar of the virtual desktop draws the tray icons at its right end, with no
# window of their own: the program's icon is the only one there.
read -r tray_left tray_top tray_right tray_bottom <<<"$(drv window-rect Shell_TrayWnd)"
tray_hash() { drv screen-hash $((tray_right - 40)) "$tray_top" "$tray_right" "$tray_bottom"; }
wait_tray() {  # WANT_SAME HASH: waits until the tray area shows (or no longer shows) that hash
  local waited=0 now
  while now=$(tray_hash); { [ "$1" = same ] && [ "$now" != "$2" ]; } || { [ "$1" = other ] && [ "$now" = "$2" ]; }; do
    [ "$waited" -lt 15 ] || fail "the tray icon did not change as expected within 3 s ($1 than $2)"
    sleep 0.2
    waited=$((waited + 1))
  done
}
idle_icon=$(tray_hash)

say "the hot key starts automatic capture: the capturing icon"
drv hotkey
wait_tray other "$idle_icon"
screenshot capturing

say "frames at the interval"
wait_frame_count 1 5
start_count=$(frame_count)
sleep 2
count=$(($(frame_count) - start_count))
# 300 ms ticks give about 6 in 2 s; the bounds only tell the interval from the default
# 10000 ms or from no limit at all, on a machine of any speed.
[ "$count" -ge 2 ] && [ "$count" -le 9 ] || fail "$count frames in 2 s at an interval of 300 ms"

say "no frame while Ctrl is held"
drv hold-key ctrl 2500 >"$E2E_OUT/hold.out" &
hold_pid=$!
waited=0
until grep -q '^down$' "$E2E_OUT/hold.out" 2>/dev/null; do
  [ "$waited" -lt 100 ] || fail "the driver did not press Ctrl within 10 s"
  sleep 0.1
  waited=$((waited + 1))
done
sleep 0.4  # a frame taken just before the press is written by now
held_count=$(frame_count)
sleep 1.5
check_eq "frame files after 1.5 s with Ctrl held" "$held_count" "$(frame_count)"
wait "$hold_pid"
say "frames again once Ctrl is released"
wait_frame_count $((held_count + 2)) 5

check_contains "tray menu while capturing" "7	自動キャプチャー[300ms毎]>終了<ctrl>+F12" "$(drv tray-menu)"

say "the hot key stops automatic capture: the idle icon"
drv hotkey
wait_tray same "$idle_icon"
stopped_count=$(frame_count)
sleep 1
check_eq "frame files 1 s after the stop" "$stopped_count" "$(frame_count)"

say "every file shows the picture, taken later than the one before"
previous=-1
for ((number = 1001; number < 1001 + stopped_count; number++)); do
  frame=$(check_frame "$number" 160 120)
  # Two frames 300 ms apart show pictures six steps apart; equal numbers would mean
  # an old picture stored again.
  [ "$frame" -gt "$previous" ] || fail "A$(printf %07d "$number").jpg shows picture $frame, after $previous"
  previous=$frame
done

stop_player gom
stop_program
check_eq "filecount" $((1001 + stopped_count)) "$(ini_value "$(settings_file)" option filecount)"
echo ok
