# What other processes send the running program: folder hand-overs by WM_COPYDATA,
# well-formed and malformed (the data is untrusted: it is read only within cbData),
# and the end of the logon (WM_QUERYENDSESSION).
source "$E2E_LIB"

start_program
wait_main >/dev/null

# A hand-over that must be ignored: the program stays, and opens no menu.
ignored() {
  local what=$1
  shift
  drv copydata FrimBola 0 "$@" >/dev/null || fail "$what: WM_COPYDATA was not answered"
  if drv menu-wait 1000 >/dev/null 2>&1; then fail "$what: the hand-over was taken"; fi
  drv wait-window FrimBola >/dev/null
}

say "malformed hand-overs"
ignored "no data" "" --hex
ignored "only a zero" 00 --hex
ignored "300 characters" "C:\\$(printf '%0297d' 0)"
ignored "300 characters without a zero" "C:\\$(printf '%0297d' 0)" --no-terminator
ignored "bytes 0x80 to 0xff" "$(printf '%02x' $(seq 128 255))00" --hex
ignored "a file, not a folder" 'C:\windows\win.ini'
ignored "a folder that does not exist" 'C:\no such folder'

say "a hand-over without its zero: the text is the cbData bytes, or nothing"
drv copydata FrimBola 0 'C:\windows' --no-terminator >/dev/null
if drv menu-wait 1000 >/dev/null 2>&1; then say "taken as C:\\windows"; else say "ignored"; fi
drv wait-window FrimBola >/dev/null

say "a well-formed hand-over: the menu opens and the folder is the output folder"
mkdir -p "$(unix_path 'C:\出力')"
drv copydata FrimBola 0 'C:\出力' >/dev/null
drv menu-wait 10000 >/dev/null
drv menu-choose 8 >/dev/null
drv wait-window ExplorerWClass "出力" 20000 >/dev/null

say "the end of the logon"
check_eq "WM_QUERYENDSESSION" 1 "$(drv send FrimBola WM_QUERYENDSESSION)"
wait_program
check_eq "exit code" 0 "$PROGRAM_EXIT"
ini=$(settings_file)
check_eq "filecount" 1001 "$(ini_value "$ini" option filecount)"
check_eq "flags" 256 "$(ini_value "$ini" option flags)"
echo ok
