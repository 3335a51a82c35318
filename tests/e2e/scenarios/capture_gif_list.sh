# GIF mode (option flag 0x02): frames go to the frame list instead of files, and the
# tray menu offers to build or clear them; automatic capture stops when the list holds
# 256 frames, which then build into a GIF by themselves; the clear item empties the
# list. With the credit screen (0x80) the first frame leaves slot 0 free for the credit.
source "$E2E_LIB"
source "$(dirname "$E2E_LIB")/capture_lib.sh"

set_options flags 2 intervaltimer 10
start_program
wait_main >/dev/null
start_player gom gom 64 48 300 300

menu_with() {  # COUNT: the menu with that many frames recorded and capture stopped
  printf '%s\n' "1	キャプチャー <ctrl>+F12" "7	アニメGIFを作成する[$1]" "13	アニメGIF用に記録している画像をクリアする[$1]" \
    "14	アニメGIFコントロールを開く" - "8	\"A000$next_file.jpg\"  0枚"
}
next_file=1001
menu_head() { drv tray-menu | head -n "${1:-6}"; }
# A frame is stored when the program gets to it: the menu is asked until it shows it.
wait_menu() {  # WHAT EXPECTED
  local waited=0 menu
  until menu=$(menu_head) && [ "$menu" = "$2" ]; do
    [ "$waited" -lt 10 ] || check_eq "$1" "$2" "$menu"
    sleep 0.3
    waited=$((waited + 1))
  done
}

say "single frames go to the list"
drv hotkey
wait_menu "tray menu with one frame" "$(menu_with 1)"
drv hotkey
wait_menu "tray menu with two frames" "$(menu_with 2)"
check_no_new_frames 0 "GIF mode"

say "the clear item empties the list"
drv menu-choose 13 >/dev/null
empty_menu="1	キャプチャー <ctrl>+F12
6	自動キャプチャー[10ms毎]>開始
14	アニメGIFコントロールを開く
-
8	\"A0001001.jpg\"  0枚"
check_eq "tray menu after clearing" "$empty_menu" "$(menu_head 5)"

say "automatic capture stops at 256 frames, and the full list builds by itself"
drv menu-choose 6 >/dev/null
waited=0
# Each look at the menu pauses capture while the menu is open; 256 frames of 10 ms
# take a few seconds. The menu does not open while the build runs.
until menu=$(menu_head 2) && [ "${menu#*$'\n'}" != "7	自動キャプチャー[10ms毎]>終了" ]; do
  [ "$waited" -lt 30 ] || fail "automatic capture still runs after 30 s"
  sleep 1
  waited=$((waited + 1))
done
next_file=1002
check_eq "tray menu after the full list's build" "${empty_menu/A0001001/A000$next_file}" "$(menu_head 5)"
gif=$(frames_folder)/A0001001.gif
check_eq "frames of the full list's GIF" 256 "$(python3 -c 'import sys; sys.path.insert(0, sys.argv[1]); import gif_check
print(gif_check.gif_info(sys.argv[2])["frame_count"])' "$(dirname "$E2E_LIB")" "$gif")"
check_no_new_frames 0 "GIF mode"
stop_program

say "with the credit screen the first frame takes the second slot"
set_options flags $((0x82))
start_program
wait_main >/dev/null
drv hotkey
wait_menu "tray menu after the first frame with the credit screen" "$(menu_with 2)"
drv hotkey
wait_menu "tray menu after the second frame with the credit screen" "$(menu_with 3)"
stop_player gom
stop_program
echo ok
