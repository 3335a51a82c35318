# Captures that find nothing: the warning box "切り取る範囲が指定されていません." and no
# file, with no player at all, and with a "GOM Player App" frame that lacks its input
# sink even though a GOM Player window is there to be taken.
source "$E2E_LIB"
source "$(dirname "$E2E_LIB")/capture_lib.sh"

warning="切り取る範囲が指定されていません."

start_program
wait_main >/dev/null

say "nothing to capture"
drv hotkey
check_eq "warning box" "$warning" "$(drv message-box-text 5000)"
drv dialog-gone Frimbola 5000
check_no_new_frames 0 "nothing to capture"

say "a store frame without its input sink ends the search before GOM Player"
start_player gom gom 288 200 300 420
start_player nosink store-gom-nosink 288 200 300 100
check_eq "the frame offers nothing to capture" none "$PLAYER_RECT"
drv hotkey
check_eq "warning box" "$warning" "$(drv message-box-text 5000)"
drv dialog-gone Frimbola 5000
check_no_new_frames 0 "store frame without its input sink"

say "without that frame, the GOM Player window is taken"
stop_player nosink
drv hotkey
wait_frame 1001
check_frame 1001 288 200 >/dev/null
stop_player gom
stop_program
echo ok
