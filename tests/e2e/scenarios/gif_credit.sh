# The credit frame (option flag 0x80) opens the GIF: the template "frame.gif" of the
# data folder (the program puts a default one there when there is none) fitted to the
# recording, the title (credittitle, creditfont, creditcolor) in its upper half, fitted
# to 80 % of the width, and the first recorded frame at half size at {W/4, 3H/8,
# W/2 + W/4, H/2 + 3H/8}; it lasts credittime. The title is placed by the text extent
# the driver measures in the same font: centred, and a quarter (template with
# something in its middle row) or half (flat middle row) of the way down to where it
# would sit on the middle. Without the template the build fails with the warning box
# and the counter stays.
source "$E2E_LIB"
source "$(dirname "$E2E_LIB")/capture_lib.sh"
source "$(dirname "$E2E_LIB")/gif_lib.sh"

W=400 H=300
thumb="$((W / 4)) $((3 * H / 8)) $((W / 2 + W / 4)) $((H / 2 + 3 * H / 8))"
set_options flags $((0x82)) intervaltimer 200 credittime 150
start_program
wait_main >/dev/null
start_player gom gom "$W" "$H" 300 300
template=$(data_folder)/frame.gif
[ -f "$template" ] || fail "no frame.gif in the data folder after the start"
RECORD_BASE=1  # the credit frame's slot counts in the tray menu

title_rect() {  # FONT TITLE TEMPLATE MASK: sets rect to "L T R B" of the title in a W x H
  # credit frame; the title as drawn goes to the file MASK ("drv text-mask")
  local font=$1 title=$2 extent tw th limit height=100 left right base top bottom middle
  extent=$(drv text-extent "$font" 100 "$title") || fail "the driver did not measure the title"
  read -r tw th <<<"$extent"
  limit=$((8 * W / 10))
  [ "$tw" -le "$limit" ] || height=$((limit * 100 / tw))
  drv text-mask "$font" "$height" "$title" >"$4" || fail "the driver did not draw the title"
  read -r tw th <"$4"
  left=$(((W - tw) / 2)) right=$(((W - tw) / 2 + tw))
  [ "$left" -ge 0 ] || left=0
  [ "$right" -le "$W" ] || right=$W
  base=$((H / 2 - th))
  middle=$(python3 "$GIF_PICTURE" middle "$3") || fail "the template is not a GIF giflib reads"
  if [ "$middle" = flat ]; then top=$((base / 2)); else top=$((base / 4)); fi
  bottom=$((top + th))
  [ "$top" -ge 0 ] || top=0
  [ "$bottom" -le "$H" ] || bottom=$H
  rect="$left $top $right $bottom"
}

check_credit_gif() {  # GIF TITLE-RECT COLOUR [--mask FILE] [--split-template]
  local gif=$1 rect=$2 colour=$3
  shift 3
  check_eq "frames of $(basename "$gif")" "${W}x$H ${W}x$H ${W}x$H" "$(gif_field "$gif" frame-sizes)"
  check_eq "delays of $(basename "$gif") (credittime 150, intervaltimer 200)" "150 20 20" "$(gif_field "$gif" delays)"
  # shellcheck disable=SC2086  # the rectangles are four numbers each
  gif_check credit "$gif" --title $rect --colour "$colour" --thumb $thumb --frame 1 "$@"
  gif_check picture "$gif" 1 "$W" "$H" --frame 1
  gif_check picture "$gif" 2 "$W" "$H" --frame 2
}

say "a long title in red, fitted to the width, on the default template"
font="ＭＳ ゴシック"
title="Frimbola credit title"
set_options credittitle "$title" creditcolor ff0000 creditfont "$font"
record_frames 1 2
watch_build default
build_from_menu
end_watch default
title_rect "$font" "$title" "$template" "$E2E_OUT/title-1.txt"
say "title rectangle $rect"
check_credit_gif "$(gif_path 1001)" "$rect" ff0000 --mask "$E2E_OUT/title-1.txt"

say "a short title in green on a template with something in its middle row"
gif_check write-template "$template"
font="ＭＳ Ｐゴシック"
title="GIF"
set_options credittitle "$title" creditcolor 00a000 creditfont "$font"
record_frames 1 2
watch_build split
build_from_menu
end_watch split
title_rect "$font" "$title" "$template" "$E2E_OUT/title-2.txt"
say "title rectangle $rect"
check_credit_gif "$(gif_path 1002)" "$rect" 00a000 --mask "$E2E_OUT/title-2.txt" --split-template

say "without the template the build fails"
rm "$template"
record_frames 1 1
build_from_menu
check_build_warning
check_eq "frames recorded after the failed build" 0 "$(recorded_count)"
# The counter stays, and the file the failed writer had opened is gone again.
check_contains "the next file after the failed build" '"A0001003.' "$(drv tray-menu)"
[ ! -e "$(gif_path 1003)" ] || fail "the failed build left $(gif_path 1003)"
stop_player gom
stop_program
check_eq "filecount after two builds and a failed one" 1003 "$(ini_value "$(settings_file)" option filecount)"
echo ok
