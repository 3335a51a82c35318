# A player window partly off the screen is captured at its full size: the part on the
# screen shows the picture, the rest is black (window coordinates in --visible).
source "$E2E_LIB"
source "$(dirname "$E2E_LIB")/capture_lib.sh"

start_program
wait_main >/dev/null

# position on the 1280 x 1024 screen -> the part of the 320 x 240 window on it
cases='-100 200 100 0 320 240
1100 200 0 0 180 240
-100 -60 100 60 320 240'
number=1001
while read -r x y left top right bottom; do
  say "window at $x,$y"
  start_player off gom 320 240 "$x" "$y"
  drv hotkey
  wait_frame "$number"
  # The frame number's cells may lie off the screen: the picture shows number 0.
  check_frame "$number" 320 240 --visible "$left" "$top" "$right" "$bottom" --frame 0 >/dev/null
  stop_player off
  number=$((number + 1))
done <<<"$cases"

stop_program
echo ok
