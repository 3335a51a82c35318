# The first start on a fresh account: the data folder, the default output folder with
# its icon file and shortcut, the launcher list entry, and the settings written at exit.
# The program runs from a folder with a Japanese name, so every path it writes has
# CP932 bytes (and UTF-7 in Desktop.ini's Unicode entry).
source "$E2E_LIB"

folder_win='C:\ツール\Frimbola'
PROGRAM_WIN="$folder_win\\frimbola.exe"
mkdir -p "$(unix_path "$folder_win")"
cp "$E2E_EXE" "$(unix_path "$PROGRAM_WIN")"

pictures_win=$(drv special-folder mypictures)
output_win="$pictures_win\\Frimbola"
output=$(unix_path "$output_win")
[ -z "$(data_folder)" ] || fail "the fresh prefix has a Qv folder already"
[ ! -e "$output" ] || fail "the fresh prefix has $output already"

say "start"
start_program
wait_main >/dev/null

say "data folder and settings file"
data=$(data_folder)
[ -n "$data" ] || fail "no Qv folder in the application-data folder"
check_eq "data folder" "$(appdata_folder)/Qv" "$data"
ini=$(settings_file)
[ -n "$ini" ] || fail "no frimbola.ini in $data"
check_eq "outputfolder" "$output_win\\" "$(ini_value "$ini" option outputfolder)"

say "output folder: Desktop.ini"
[ -d "$output" ] || fail "no output folder $output"
desktop_ini="$output_win\\Desktop.ini"
# Wine reports every regular file as "archive" besides what was set.
check_eq "Desktop.ini attributes" "0x22 hidden archive" "$(drv attributes "$desktop_ini")"
check_eq "IconFile" "$PROGRAM_WIN" "$(drv ini-read "$desktop_ini" .ShellClassInfo IconFile)"
check_eq "IconIndex" "0" "$(drv ini-read "$desktop_ini" .ShellClassInfo IconIndex)"
check_eq "IconFile (A)" "$PROGRAM_WIN" "$(drv ini-read "$desktop_ini" .ShellClassInfo.A IconFile)"
utf7=$(drv ini-read "$desktop_ini" .ShellClassInfo.W IconFile)
check_eq "IconFile (W) is Windows' UTF-7 of the path" "$(drv utf7 "$PROGRAM_WIN")" "$utf7"
check_eq "IconFile (W) decodes to the path" "$PROGRAM_WIN" "$(printf '%s' "$utf7" | iconv -f UTF-7 -t UTF-8)"
# Explorer reads Desktop.ini only in a folder marked as a system folder: Windows marks
# it read-only, Wine marks it "system".
attributes=$(drv attributes "$output_win")
case "$attributes" in
  *readonly* | *system*) ;;
  *) fail "the output folder is not marked as a system folder: $attributes" ;;
esac

say "output folder: _tavelo.lnk"
link_win="$output_win\\_tavelo.lnk"
check_eq "_tavelo.lnk" "target	$folder_win\\tavelo.exe
arguments	$link_win
icon	$folder_win\\tavelo.exe,1
description	Frimbola" "$(drv read-link "$link_win" | grep -v '^workdir')"

say "launcher list"
to_cp932 "35	Frimbola	Frimbola(アニメGIF作成)	\"$PROGRAM_WIN\"" >"$E2E_OUT/exec-list.expected"
printf '\r\n' >>"$E2E_OUT/exec-list.expected"
check_file_eq "\$exec-list.txt" "$E2E_OUT/exec-list.expected" "$data/\$exec-list.txt"

say "quit"
stop_program
check_eq "exit code" 0 "$PROGRAM_EXIT"
check_eq "flags" 256 "$(ini_value "$ini" option flags)"
check_eq "filecount" 1001 "$(ini_value "$ini" option filecount)"

say "a second start leaves the existing folder alone"
rm "$output/_tavelo.lnk" "$data/\$exec-list.txt"
start_program
wait_main >/dev/null
stop_program
[ ! -e "$output/_tavelo.lnk" ] || fail "the shortcut was written again into the existing folder"
[ ! -e "$data/\$exec-list.txt" ] || fail "the launcher list was written again although flags has 0x100"
echo ok
