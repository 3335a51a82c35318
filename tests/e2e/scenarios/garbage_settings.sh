# A settings file with garbage in every key, made before the first start: the program
# starts, shows a sane tray menu from the normalised values, and quits writing clean
# values. Then a command line of 300 characters, which the program ignores.
source "$E2E_LIB"

data="$(appdata_folder)/Qv"
mkdir -p "$data"
ini="$data/frimbola.ini"
{
  printf '[option]\r\n'
  printf 'outputfolder=C:\\%0300d\r\n' 0
  printf 'prefix=ABCDEFGHIJKLMNOPQRSTUVWXYZ\r\n'
  printf 'filecount=99999999999999999999999\r\n'
  printf 'intervaltimer=-99999\r\n'
  printf 'jpegquality=abc\r\n'
  printf 'hotkey=0x41\r\n'
  printf 'hotkeymod=6abc\r\n'
  printf 'flags=xyz\n'
  printf 'colors=%s\r\n' "$(printf '\\x%x' $(seq 128 255) | xargs -0 printf)"
  printf 'sizemethod=\xff\xfe\xfd\r\n'
  printf 'this line has no equals sign\r\n'
  printf '\x81\x82\x83=\x84\x85\r\n'
  printf 'credittitle=%0300d\r\n' 0
  printf '[window]\r\n'
  printf 'rect=10,20,300\r\n'
} >"$ini"

say "start with the garbage settings"
start_program
wait_main >/dev/null
# The file count saturates at the largest int; the prefix keeps 11 characters; an
# interval below 10 ms is used as 10; hot key 0 with Shift+Ctrl shows the modifiers only.
check_eq "tray menu" '1	キャプチャー <shift>+<ctrl>
6	自動キャプチャー[10ms毎]>開始
-
8	"ABCDEFGHIJK2147483647.jpg"  0枚
-
10	設定ボックスを開く
11	説明書を開く
15	『Frimbola』について
-
4	リスタート
2	『Frimbola』を終了する
99	メニューを閉じる' "$(drv tray-menu)"
pictures=$(drv special-folder mypictures)
check_eq "outputfolder falls back to the default folder" "$pictures\\Frimbola\\" "$(ini_value "$ini" option outputfolder)"
[ -f "$(unix_path "$pictures\\Frimbola\\_tavelo.lnk")" ] || fail "the new default folder has no shortcut"
[ -f "$data/\$exec-list.txt" ] || fail "flags read as 0, so the launcher list entry is due, but there is none"

say "quit"
stop_program
check_eq "exit code" 0 "$PROGRAM_EXIT"
check_eq "flags" 256 "$(ini_value "$ini" option flags)"
check_eq "filecount" 2147483647 "$(ini_value "$ini" option filecount)"
check_eq "prefix is left as it was" ABCDEFGHIJKLMNOPQRSTUVWXYZ "$(ini_value "$ini" option prefix)"
check_eq "rect is left as it was" 10,20,300 "$(ini_value "$ini" window rect)"

say "a command line of 300 characters is ignored"
cp "$ini" "$E2E_OUT/settings.before"
start_program "\"C:\\$(printf '%0297d' 0)\""
wait_main >/dev/null
# A usable command-line folder would open the menu by itself and become the output
# folder; an ignored one leaves the default folder, which the folder item opens.
drv menu-choose 8 >/dev/null
drv wait-window ExplorerWClass Frimbola 20000 >/dev/null
stop_program
check_eq "exit code" 0 "$PROGRAM_EXIT"
check_eq "outputfolder" "$pictures\\Frimbola\\" "$(ini_value "$ini" option outputfolder)"
echo ok
