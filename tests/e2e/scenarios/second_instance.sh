# A second start while one instance runs: it hands its command-line folder to the
# running one (WM_COPYDATA) or asks it for the control panel (WM_OPENPANEL), ends with 0
# and writes nothing. First against the real program, then against a stand-in main
# window of the driver that reports exactly what arrives.
source "$E2E_LIB"

say "a second start beside the real program"
start_program
first_main=$(wait_main)
ini=$(settings_file)
cp "$ini" "$E2E_OUT/settings.before"
check_eq "second start's exit code" 0 "$(run_program "")"
check_eq "main windows" 1 "$(drv count-windows FrimBola)"
check_eq "the main window" "$first_main" "$(wait_main)"
check_file_eq "settings file after the second start" "$E2E_OUT/settings.before" "$ini"

say "a folder handed over opens the running program's tray menu, and becomes its output folder"
mkdir -p "$(unix_path 'C:\出力 フォルダ')"
check_eq "exit code" 0 "$(run_program '"C:\出力 フォルダ"')"
check_contains "the menu the hand-over opened" '8	"A0001001.jpg"  0枚' "$(drv menu-wait 10000 --keep-open)"
# The folder item opens the output folder in the shell: an Explorer window of that name.
drv menu-choose 8 >/dev/null
drv wait-window ExplorerWClass "出力 フォルダ" 20000 >/dev/null
stop_program
check_eq "exit code" 0 "$PROGRAM_EXIT"
check_contains "outputfolder is not changed by a hand-over" 'Pictures\Frimbola\' "$(ini_value "$ini" option outputfolder)"

say "hand-overs as the running instance receives them"
cp "$ini" "$E2E_OUT/settings.before"
ls -lR "$(data_folder)" >"$E2E_OUT/data.before"
drv fake-main 120000 >"$E2E_OUT/fake.out" &
fake=$!
for _ in $(seq 100); do
  grep -q '^ready' "$E2E_OUT/fake.out" && break
  sleep 0.1
done
grep -q '^ready' "$E2E_OUT/fake.out" || fail "the stand-in main window did not start"

hex_of() { to_cp932 "$1" | od -An -tx1 | tr -d ' \n'; }

# Runs a second start with the command-line tail and compares what the stand-in got:
# "WM_OPENPANEL", or "DWDATA FOLDER" for WM_COPYDATA (the folder with its zero, which
# cbData must count).
handover() {
  local tail=$1 expected=$2 seen lines got want
  seen=$(wc -l <"$E2E_OUT/fake.out")
  check_eq "exit code of a start with [$tail]" 0 "$(run_program "$tail")"
  for _ in $(seq 50); do
    [ "$(wc -l <"$E2E_OUT/fake.out")" -gt "$seen" ] && break
    sleep 0.1
  done
  sleep 0.3  # a second, unexpected message would arrive by now
  got=$(tail -n +$((seen + 1)) "$E2E_OUT/fake.out")
  if [ "$expected" = WM_OPENPANEL ]; then
    want=$(printf 'message\tWM_OPENPANEL\t0\t0')
  else
    local dwdata=${expected%% *} folder=${expected#* } bytes
    bytes=$(hex_of "$folder")
    want=$(printf 'copydata\t%s\t%d\t%s00\ncopydata-text\t%s' "$dwdata" $((${#bytes} / 2 + 1)) "$bytes" "$folder")
  fi
  check_eq "what the running instance got for [$tail]" "$want" "$got"
}

long=$(printf 'C:\\%0300d' 0)
handover '' WM_OPENPANEL
handover '"C:\出力 フォルダ"' '0 C:\出力 フォルダ\'
handover '"C:\出力 フォルダ\"' '0 C:\出力 フォルダ\'
handover '"-define=C:\出力 フォルダ"' '1 C:\出力 フォルダ\'
handover '  C:\windows' '0 C:\windows\'
handover '"C:\"' '0 C:\'
handover '"C:\no such folder"' WM_OPENPANEL
handover '"-define=C:\no such folder"' WM_OPENPANEL
handover '"C:\windows\win.ini"' WM_OPENPANEL
handover '"\\server\share\x"' WM_OPENPANEL
handover "\"$long\"" WM_OPENPANEL

drv post FrimBola WM_CLOSE
wait "$fake" || fail "the stand-in main window failed"
check_file_eq "settings file after the hand-overs" "$E2E_OUT/settings.before" "$ini"
ls -lR "$(data_folder)" >"$E2E_OUT/data.after"
cmp -s "$E2E_OUT/data.before" "$E2E_OUT/data.after" || fail "second starts changed the data folder: $(diff "$E2E_OUT/data.before" "$E2E_OUT/data.after")"
echo ok
