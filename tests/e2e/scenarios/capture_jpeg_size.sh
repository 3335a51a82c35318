# JPEG mode with the content cut (option flag 0x10) and each size method: the player's
# 680 x 400 video window shows the 640 x 360 picture inside a flat border, so the cut
# leaves the picture; the size method and its pixels are read at each frame, so each
# case changes them in the settings file while the program runs.
source "$E2E_LIB"
source "$(dirname "$E2E_LIB")/capture_lib.sh"

set_options flags 16
start_program
wait_main >/dev/null
start_player gom gom 680 400 100 100 --border 20

say "the flat border is cut off"
drv hotkey
wait_frame 1001
check_frame 1001 640 360 >/dev/null

# sizemethod sizepixel -> the file's size; "same" files must still show the picture
# pixel for pixel, resized ones their four quadrants.
cases='1 430 430x242 resized
1 800 640x360 same
3 200 200x113 resized
2 960 960x540 resized
2 0 640x360 same
3 0 640x360 same
0 200 640x360 same'
number=1002
while read -r method pixels size kind; do
  say "sizemethod $method, sizepixel $pixels: $size"
  set_options sizemethod "$method" sizepixel "$pixels"
  drv hotkey
  wait_frame "$number"
  check_eq "size of A$(printf %07d "$number").jpg (method $method, $pixels)" "${size/x/ }" "$(jpeg_size "$number")"
  if [ "$kind" = same ]; then
    check_frame "$number" 640 360 >/dev/null
  else
    python3 "$CAPTURE_CHECK" quadrants "$(frame_path "$number")" || fail "the resized frame lost the picture"
  fi
  number=$((number + 1))
done <<<"$cases"

stop_player gom
stop_program
echo ok
