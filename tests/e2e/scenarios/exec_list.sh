# The launcher list the companions share, as the first start finds it: the program's
# line (id 35) replaces an old one in place, is appended to a list without one, and a
# list it cannot read as TAB-separated lines is left alone.
source "$E2E_LIB"

data="$(appdata_folder)/Qv"
mkdir -p "$data"
list="$data/\$exec-list.txt"
line="35	Frimbola	Frimbola(アニメGIF作成)	\"$E2E_EXE_WIN\""

# A first start (flags without 0x100) with the list given; compares the list after it.
first_start_with() {
  local what=$1 before=$2 after=$3
  say "$what"
  rm -f "$data/frimbola.ini"
  printf '%s' "$before" | iconv -f UTF-8 -t CP932 >"$list"
  printf '%s' "$after" | iconv -f UTF-8 -t CP932 >"$E2E_OUT/expected"
  start_program
  wait_main >/dev/null
  stop_program
  check_file_eq "$what" "$E2E_OUT/expected" "$list"
  check_eq "$what: flags" 256 "$(ini_value "$data/frimbola.ini" option flags)"
}

first_start_with "an old line 35 between others" \
  $'12\tQv\tQv\t"C:\\qv.exe"\r\n35\tOld\tOld entry\t"C:\\old.exe"\r\n40\tPindle\tクリップ\t"C:\\p.exe"\r\n' \
  $'12\tQv\tQv\t"C:\\qv.exe"\r\n'"$line"$'\r\n40\tPindle\tクリップ\t"C:\\p.exe"\r\n'
first_start_with "a last line without its line end" \
  $'12\tQv\tQv\t"C:\\qv.exe"' \
  $'12\tQv\tQv\t"C:\\qv.exe"'"$line"$'\r\n'
first_start_with "a first line without a TAB before a line with one" \
  $'no tab here\r\n12\tQv\tQv\t"C:\\qv.exe"\r\n' \
  $'no tab here\r\n12\tQv\tQv\t"C:\\qv.exe"\r\n'
first_start_with "a list without any TAB" \
  $'just text\r\n' \
  $'just text\r\n'"$line"$'\r\n'
echo ok
