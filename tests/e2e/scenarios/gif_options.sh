# The build's options, each read back from the GIF it made. A palette per frame:
# each colour setting (colors 0..4) keeps a picture of more colours than any palette
# within 16, 32, 64, 128 or 256 colours, and uses more than half of them. Each size
# method (sizemethod 1 limits the width, 2 fixes it, 3 fits a square of sizepixel)
# gives trunc(W / g + 0.5) x trunc(H / g + 0.5). One palette for all frames (0x40)
# gives one global table; space removal (0x10) cuts the flat border off every frame;
# motion extraction (0x400) cuts every frame to the band where a box moves. Headless
# Chromium plays these GIFs as giflib reads them.
source "$E2E_LIB"
source "$(dirname "$E2E_LIB")/capture_lib.sh"
source "$(dirname "$E2E_LIB")/gif_lib.sh"

number=1001
build_one() {  # WHAT: builds the recording from the tray menu; GIF is the new file
  watch_build "$number"
  build_from_menu
  end_watch "$number"
  gif=$(gif_path "$number")
  [ -f "$gif" ] || fail "$1: no $(basename "$gif")"
  number=$((number + 1))
}

set_options flags 2 intervaltimer 100
start_program
wait_main >/dev/null

say "each colour setting, a palette per frame"
start_player gradient gom 320 240 300 300 --pattern gradient
limit=16
for colors in 0 1 2 3 4; do
  set_options colors "$colors"
  record_frames 1 1
  build_one "colors $colors"
  read -r kind entries <<<"$(gif_field "$gif" tables)"
  check_eq "colour tables with colors $colors" local "$kind"
  [ "$entries" -le "$limit" ] || fail "colors $colors: a table of $entries entries, more than $limit"
  used=$(python3 "$GIF_PICTURE" colours "$gif")
  [ "$used" -le "$limit" ] && [ "$used" -gt $((limit / 2)) ] ||
    fail "colors $colors: $used colours, not within $((limit / 2 + 1))..$limit"
  gif_check gradient "$gif" 0
  [ "$colors" = 0 ] && sixteen_local=$gif
  limit=$((limit * 2))
done
stop_player gradient

say "each size method, from a 320 x 180 recording"
start_player picture gom 320 180 300 300
set_options colors 4
# sizemethod sizepixel -> size: g = W / S (1, 2) or max(W / S, H / S) (3)
cases='1 130 130 73
1 400 320 180
2 500 500 281
3 100 100 56'
while read -r method pixels w h; do
  set_options sizemethod "$method" sizepixel "$pixels"
  record_frames 7 7
  build_one "sizemethod $method"
  check_eq "size with sizemethod $method, sizepixel $pixels" "$w $h" "$(gif_field "$gif" size)"
  check_eq "frame with sizemethod $method, sizepixel $pixels" "${w}x$h" "$(gif_field "$gif" frame-sizes)"
  if [ "$w" = 320 ]; then gif_check picture "$gif" 0 320 180 --frame 7; else gif_check quadrants "$gif" 0; fi
  one_frame=$gif
done <<<"$cases"
stop_player picture
stop_program

say "one palette for all frames, 16 colours, the flat border removed"
set_options flags $((0x52)) sizemethod 0 colors 0
start_program
wait_main >/dev/null
start_player border gom 200 150 300 300 --border 20
record_frames 1 3
build_one "shared palette"
check_eq "frames with the border removed" "160x110 160x110 160x110" "$(gif_field "$gif" frame-sizes)"
read -r kind entries <<<"$(gif_field "$gif" tables)"
check_eq "colour tables with a shared palette" global "$kind"
[ "$entries" -le 16 ] || fail "a shared palette of 16 colours has a table of $entries entries"
used=$(python3 "$GIF_PICTURE" colours "$gif")
[ "$used" -le 16 ] || fail "$used colours in all frames of a 16-colour shared palette"
for i in 0 1 2; do gif_check picture "$gif" "$i" 160 110 --frame $((i + 1)); done
shared=$gif
stop_player border
stop_program

say "motion extraction: frames cut to the band where the box moves"
set_options flags $((0x402)) colors 4
start_program
wait_main >/dev/null
start_player box gom 200 120 300 300 --pattern box
record_frames 0 3
watch_build motion --dialogs 2
build_from_menu
end_watch motion
watch=$(watch_lines motion)
gif=$(gif_path "$number")
number=$((number + 1))
# The cut has its own progress dialog, under the first step's name, a report a frame.
check_eq "the dialog of the cut" "open	$GIF_BUILD_TITLE" "$(printf '%s\n' "$watch" | sed -n 1p | cut -f 1,3)"
check_eq "reports of the cut" "progress	0	トリミング
progress	25	トリミング
progress	50	トリミング
progress	75	トリミング" "$(printf '%s\n' "$watch" | sed -n 2,5p | cut -f 1-3)"
check_eq "frames cut to the moving band" "128x24 128x24 128x24 128x24" "$(gif_field "$gif" frame-sizes)"
for i in 0 1 2 3; do gif_check box "$gif" "$i" "$i"; done
motion=$gif
stop_player box
stop_program
check_eq "filecount after $((number - 1001)) builds" "$number" "$(ini_value "$(settings_file)" option filecount)"

say "the GIFs in a browser"
browser_check "$sixteen_local" "$one_frame" "$shared" "$motion"
echo ok
