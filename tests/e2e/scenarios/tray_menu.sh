# The tray menu with the default settings: its items, the about box, the folder item,
# automatic capture's items, a restart that builds a new main window with a fresh
# state whose tray icon still opens the menu, and the quit item.
source "$E2E_LIB"

default_menu='1	キャプチャー <ctrl>+F12
6	自動キャプチャー[10000ms毎]>開始
-
8	"A0001001.jpg"  0枚
-
10	設定ボックスを開く
11	説明書を開く
15	『Frimbola』について
-
4	リスタート
2	『Frimbola』を終了する
99	メニューを閉じる'

start_program
first_main=$(wait_main)

say "the menu by a click on the tray icon"
drv tray-click
check_eq "tray menu" "$default_menu" "$(drv menu-wait 10000 --keep-open)"
screenshot tray-menu
drv menu-close
# The menu's anchor (a small visible popup dialog) goes with the menu.
sleep 0.5
if drv list-windows | grep -P '\tvisible\t#32770\t'; then fail "a dialog stayed on screen after the menu closed"; fi
say "the menu opens again at once after Esc"
check_eq "tray menu again" "$default_menu" "$(drv tray-menu)"

say "about box"
check_eq "chosen" "15	『Frimbola』について" "$(drv menu-choose 15)"
about=$(drv dialog "『Frimbola』について")
check_contains "about box" "Frimbola - アニメGIF作成プログラム" "$about"
check_contains "about box" "バージョン番号" "$about"
check_contains "about box" "閉じる" "$about"
screenshot about-box
drv dialog-key "『Frimbola』について" ESC
drv dialog-gone "『Frimbola』について"
check_eq "the menu after the about box" "$default_menu" "$(drv tray-menu)"

say "the folder item opens the default output folder in the shell"
drv menu-choose 8 >/dev/null
drv wait-window ExplorerWClass Frimbola 20000 >/dev/null

say "automatic capture: the start item turns into the stop item, and a restart stops it"
drv menu-choose 6 >/dev/null
# Each menu restarts the 10 s capture timer when it closes, so no capture (and no
# warning about nothing to capture) comes between these steps.
check_eq "the menu while capturing" "${default_menu/6	自動キャプチャー\[10000ms毎\]>開始/7	自動キャプチャー[10000ms毎]>終了}" "$(drv tray-menu)"

say "restart"
check_eq "chosen" "4	リスタート" "$(drv menu-choose 4)"
drv wait-gone "$first_main" 10000
second_main=$(wait_main)
[ "$second_main" != "$first_main" ] || fail "the restart kept the old main window"
program_running || fail "the program ended instead of restarting"
# The new window added the tray icon again, with its callback: a click still opens the menu.
drv tray-click right
check_eq "the menu after the restart" "$default_menu" "$(drv menu-wait 10000)"

say "quit"
check_eq "chosen" "2	『Frimbola』を終了する" "$(drv menu-choose 2)"
wait_program
check_eq "exit code" 0 "$PROGRAM_EXIT"
ini=$(settings_file)
check_eq "flags" 256 "$(ini_value "$ini" option flags)"
check_eq "filecount" 1001 "$(ini_value "$ini" option filecount)"
echo ok
