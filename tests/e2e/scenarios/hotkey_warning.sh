# The hot key by real keyboard input, with nothing to capture: no player window and no
# marked region, so each capture request ends in the warning box, and the program
# goes on running. The same through the menu's capture item.
source "$E2E_LIB"

start_program
wait_main >/dev/null

say "Ctrl+F12"
drv hotkey
check_eq "warning after the hot key" "切り取る範囲が指定されていません." "$(drv message-box-text 10000)"
drv dialog-gone Frimbola

say "the capture item"
drv menu-choose 1 >/dev/null
check_eq "warning after the capture item" "切り取る範囲が指定されていません." "$(drv message-box-text 10000 --keep)"
screenshot warning
drv message-box-text >/dev/null
drv dialog-gone Frimbola

say "the hot key still works after the box"
drv hotkey
check_eq "warning after the second hot key" "切り取る範囲が指定されていません." "$(drv message-box-text 10000)"
drv dialog-gone Frimbola

stop_program
check_eq "exit code" 0 "$PROGRAM_EXIT"
echo ok
