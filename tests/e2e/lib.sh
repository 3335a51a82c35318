# Shared functions of the end-to-end scenarios; each scenario sources this file.
#
# run_e2e.sh gives every scenario a fresh Wine prefix and its own X display, and sets:
#   WINEPREFIX, DISPLAY, WINEARCH, WINEDEBUG, LANG, LC_ALL   (already exported)
#   E2E_DRIVER    the driver, frimbola-e2e-driver.exe (Unix path)
#   E2E_OUT       this scenario's folder for logs and screenshots (outside the prefix)
#   E2E_EXE_WIN   the program inside the prefix: C:\Program Files\Frimbola\frimbola.exe
#   E2E_EXE       the same file as a Unix path
#
# Running things (every call has a time limit):
#   drv ARGS...               runs the driver ("drv help" lists its commands); its stdout is the answer
#   start_program [TAIL]      starts the program in the background with the command-line tail TAIL
#                             given verbatim (quotes are the program's, not the shell's); the
#                             program file is PROGRAM_WIN, by default E2E_EXE_WIN
#   wait_main [MS]            waits for the main window (class "FrimBola"), prints its handle
#   stop_program              WM_CLOSE to the main window, then wait_program
#   wait_program [SECONDS]    waits until the background program ends; its exit code goes to PROGRAM_EXIT
#   run_program TAIL [MS]     runs the program in the foreground; prints its exit code
#   program_running           status 0 while the background program runs
#
# Files:
#   unix_path 'C:\x\y'        the Unix path of a path on drive C: of the prefix
#   settings_file             the Unix path of %APPDATA%\Qv\frimbola.ini (empty when there is none)
#   data_folder               the Unix path of %APPDATA%\Qv (empty when there is none)
#   pictures_folder           the Unix path of the user's pictures folder (CSIDL_MYPICTURES)
#   ini_value FILE SECTION KEY   the value as the file holds it (CP932 shown as UTF-8), status 1 when missing
#   to_cp932 TEXT             the text's CP932 bytes on stdout (for comparing files byte for byte)
#   write_cp932 FILE TEXT     writes the text as CP932 bytes
#
# Checks (a failed check prints what differed and ends the scenario with status 1):
#   check_eq WHAT EXPECTED ACTUAL
#   check_contains WHAT NEEDLE HAYSTACK
#   check_file_eq WHAT EXPECTED_FILE ACTUAL_FILE   byte for byte
#   fail MESSAGE
#   screenshot NAME           the whole display as $E2E_OUT/NAME.png, for a person to look at
#
# Step messages (say WHAT) go to the scenario's log, which run_e2e.sh shows on failure.

set -euo pipefail

PROGRAM_WIN=$E2E_EXE_WIN
PROGRAM_RUNNER=
PROGRAM_EXIT=

say() { printf '  - %s\n' "$*"; }

fail() {
  printf 'FAIL: %s\n' "$*"
  exit 1
}

drv() {
  timeout 90 wine "$E2E_DRIVER" "$@"
}

check_eq() {
  local what=$1 expected=$2 actual=$3
  if [ "$expected" != "$actual" ]; then
    printf 'FAIL: %s\n--- expected\n%s\n--- actual\n%s\n---\n' "$what" "$expected" "$actual"
    if command -v diff >/dev/null; then diff <(printf '%s\n' "$expected") <(printf '%s\n' "$actual") || true; fi
    exit 1
  fi
}

check_contains() {
  local what=$1 needle=$2 haystack=$3
  case "$haystack" in
    *"$needle"*) ;;
    *) printf 'FAIL: %s: no "%s" in\n%s\n' "$what" "$needle" "$haystack"; exit 1 ;;
  esac
}

check_file_eq() {
  local what=$1 expected=$2 actual=$3
  [ -f "$actual" ] || fail "$what: no file $actual"
  if ! cmp -s "$expected" "$actual"; then
    printf 'FAIL: %s: bytes differ\n--- expected\n' "$what"
    od -c "$expected" | head -n 20
    printf -- '--- actual\n'
    od -c "$actual" | head -n 20
    exit 1
  fi
}

to_cp932() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }
write_cp932() { to_cp932 "$2" >"$1"; }

unix_path() {
  local path=$1
  case "$path" in
    [Cc]:\\*) path=${path:3} ;;
    *) fail "unix_path: not a path on drive C: $path" ;;
  esac
  printf '%s/drive_c/%s\n' "$WINEPREFIX" "${path//\\//}"
}

# Wine's folder names (AppData/Roaming, Application Data, ...) differ between versions:
# ask Windows where the folders are, then look at them from Linux.
appdata_folder() { unix_path "$(drv special-folder appdata)"; }
pictures_folder() { unix_path "$(drv special-folder mypictures)"; }

data_folder() {
  local folder
  folder=$(find "$WINEPREFIX/drive_c/users" -type d -name Qv -print -quit 2>/dev/null || true)
  printf '%s\n' "$folder"
}

settings_file() {
  local folder
  folder=$(data_folder)
  if [ -n "$folder" ] && [ -f "$folder/frimbola.ini" ]; then printf '%s\n' "$folder/frimbola.ini"; fi
}

# A plain reading of an INI file: section and key names compared without case, as
# the private-profile functions compare them; the value up to the line end, CR removed.
ini_value() {
  local file=$1 section=$2 key=$3
  [ -f "$file" ] || return 1
  iconv -c -f CP932 -t UTF-8 "$file" 2>/dev/null | tr -d '\r' | awk -v section="$section" -v key="$key" '
    BEGIN { section = tolower(section); key = tolower(key); found = 0 }
    /^\[.*\]$/ { current = tolower(substr($0, 2, length($0) - 2)); next }
    current == section {
      eq = index($0, "=")
      if (eq > 0 && tolower(substr($0, 1, eq - 1)) == key) { print substr($0, eq + 1); found = 1; exit }
    }
    END { exit found ? 0 : 1 }'
}

start_program() {
  local tail=${1:-}
  [ -z "$PROGRAM_RUNNER" ] || fail "start_program: the program was started already"
  : >"$E2E_OUT/program.status"
  drv run --ms 150000 "$PROGRAM_WIN" "$tail" >"$E2E_OUT/program.status" 2>>"$E2E_OUT/program.log" &
  PROGRAM_RUNNER=$!
}

program_running() {
  [ -n "$PROGRAM_RUNNER" ] && kill -0 "$PROGRAM_RUNNER" 2>/dev/null
}

wait_main() {
  drv wait-window FrimBola "" "${1:-20000}"
}

wait_program() {
  local seconds=${1:-20} waited=0
  [ -n "$PROGRAM_RUNNER" ] || fail "wait_program: no program was started"
  while kill -0 "$PROGRAM_RUNNER" 2>/dev/null; do
    [ "$waited" -lt $((seconds * 10)) ] || fail "the program did not end within $seconds s"
    sleep 0.1
    waited=$((waited + 1))
  done
  wait "$PROGRAM_RUNNER" || true
  PROGRAM_RUNNER=
  PROGRAM_EXIT=$(sed -n 's/^exit\t//p' "$E2E_OUT/program.status")
  [ -n "$PROGRAM_EXIT" ] || fail "the program's runner gave no exit code: $(cat "$E2E_OUT/program.status" "$E2E_OUT/program.log")"
}

stop_program() {
  drv post FrimBola WM_CLOSE
  wait_program "${1:-20}"
}

run_program() {
  local tail=$1 ms=${2:-20000} out
  out=$(drv run --ms "$ms" "$PROGRAM_WIN" "$tail") || fail "run_program: $out"
  printf '%s\n' "$out" | sed -n 's/^exit\t//p'
}

screenshot() {
  timeout 20 import -window root "$E2E_OUT/$1.png" || say "no screenshot $1"
}
