# Single captures by the real hot key from each kind of player window: the frame file
# shows exactly the player's video window, numbered on from A0001001.jpg; a second
# capture from the skin host after its title changed still uses the remembered window.
source "$E2E_LIB"
source "$(dirname "$E2E_LIB")/capture_lib.sh"

start_program
wait_main >/dev/null

say "skin host: the video control below its plug-in host"
start_player skin wmp-skin 320 240 200 150
check_eq "capture rectangle" "200 150 520 390" "$PLAYER_RECT"
drv hotkey
wait_frame 1001
check_frame 1001 320 240 >/dev/null
screenshot wmp-skin
say "a second capture after the title changed: the remembered video window"
drv set-title "$PLAYER_TOP" "Now Playing"
drv hotkey
wait_frame 1002
check_frame 1002 320 240 >/dev/null
stop_player skin

number=1003
for kind in wmp-app store-gom store-movies gom gom-child; do
  say "$kind"
  start_player "$kind" "$kind" 288 200 300 260
  check_eq "$kind: capture rectangle" "300 260 588 460" "$PLAYER_RECT"
  drv hotkey
  wait_frame "$number"
  check_frame "$number" 288 200 >/dev/null
  stop_player "$kind"
  number=$((number + 1))
done
check_eq "frame files" 7 "$(frame_count)"

say "the tray menu names the next file and counts the files written"
check_contains "tray menu" '8	"A0001008.jpg"  7枚' "$(drv tray-menu)"
stop_program
check_eq "filecount" 1008 "$(ini_value "$(settings_file)" option filecount)"
echo ok
