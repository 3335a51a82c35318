#!/usr/bin/env bash
# Runs the program's end-to-end scenarios under Wine.
#   run_e2e.sh FRIMBOLA_EXE DRIVER_EXE [SCENARIO...]
# Each scenario (scenarios/NAME.sh, all of them by default, or a path to a file) runs in a fresh copy of one
# Wine prefix made for this run (Japanese locale, Japanese fonts, a virtual desktop
# with a taskbar and tray) on its own Xvfb display. Prints one line per scenario, the
# log of each failing one, and a summary; ends with 1 when any scenario failed.
# E2E_KEEP=1 keeps the run's folder (logs, screenshots, prefixes) for a look afterwards;
# E2E_SCENARIO_TIMEOUT (seconds, 150) bounds each scenario.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
[ $# -ge 2 ] || { echo "usage: run_e2e.sh FRIMBOLA_EXE DRIVER_EXE [SCENARIO...]" >&2; exit 2; }
exe=$(realpath "$1")
driver=$(realpath "$2")
shift 2
[ -f "$exe" ] || { echo "no program $exe" >&2; exit 2; }
[ -f "$driver" ] || { echo "no driver $driver" >&2; exit 2; }
[ -f "$(dirname "$driver")/frimbola-e2e-probe.dll" ] || { echo "no probe DLL beside the driver" >&2; exit 2; }

scenarios=()
if [ $# -gt 0 ]; then
  # A name is one of scenarios/; a path (with a slash) is a scenario file elsewhere.
  for name in "$@"; do
    case $name in
      */*) scenarios+=("$(realpath "$name")") ;;
      *) scenarios+=("$here/scenarios/${name%.sh}.sh") ;;
    esac
  done
else
  scenarios=("$here"/scenarios/*.sh)
fi
for scenario in "${scenarios[@]}"; do [ -f "$scenario" ] || { echo "no scenario $scenario" >&2; exit 2; }; done

source "$here/../../scripts/windows-arch.sh"
scenario_timeout=${E2E_SCENARIO_TIMEOUT:-150}
export WINEARCH=${FRIMBOLA_WINEARCH:-win32} WINEDEBUG=-all LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
unset WINEDLLOVERRIDES
work=$(mktemp -d /tmp/frimbola-e2e.XXXXXX)
xvfb_pid=
live_prefix=

stop_display() {
  if [ -n "$live_prefix" ]; then
    WINEPREFIX=$live_prefix timeout 20 wineserver -k 2>/dev/null || true
    live_prefix=
  fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=
  fi
}
cleanup() {
  stop_display
  if [ "${E2E_KEEP:-0}" = 1 ]; then echo "kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A display of its own: Xvfb picks a free number and tells it through -displayfd.
start_display() {
  local numberfile=$work/display.$RANDOM
  # Under a time limit too, so that not even a killed run leaves a server behind for long.
  timeout "$((scenario_timeout + 120))" Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$numberfile" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$numberfile" ] && break
    sleep 0.1
  done
  [ -s "$numberfile" ] || { echo "Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$(head -n 1 "$numberfile")"
}

# The template prefix. Font replacements give the faces the program asks for (and the
# faces Wine substitutes for "MS Shell Dlg") the IPA fonts, so Japanese renders. The
# virtual desktop "shell" has a taskbar whose tray shows the icon and keeps focus and
# activation inside Wine, without a window manager. No crash dialog: a crash must end
# the process, not wait for a click.
make_template() {
  local template=$work/template
  start_display
  live_prefix=$template
  WINEPREFIX=$template timeout 180 wineboot -i >"$work/wineboot.log" 2>&1 ||
    { cat "$work/wineboot.log"; echo "wineboot failed" >&2; exit 1; }
  { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE <<'REG'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"ＭＳ Ｐゴシック"="IPAPGothic"
"ＭＳ ゴシック"="IPAGothic"
"MS PGothic"="IPAPGothic"
"MS Gothic"="IPAGothic"
"MS UI Gothic"="IPAPGothic"
"MS Shell Dlg"="IPAPGothic"
"MS Shell Dlg 2"="IPAPGothic"
"ＭＳ 明朝"="IPAMincho"
"ＭＳ Ｐ明朝"="IPAPMincho"

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="shell"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"shell"="1280x1024"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000
REG
  } >"$work/e2e.reg"
  WINEPREFIX=$template timeout 60 wine regedit /S "$(WINEPREFIX=$template winepath -w "$work/e2e.reg")" >>"$work/wineboot.log" 2>&1
  # The registry reaches its files when the server ends.
  WINEPREFIX=$template timeout 60 wineserver -w
  live_prefix=
  stop_display
  # Wine links the user's Desktop, Documents, Pictures, ... to $HOME: folders of their
  # own keep every scenario's files inside its prefix.
  local link
  find "$template/drive_c/users" -mindepth 2 -maxdepth 2 -type l -print0 |
    while IFS= read -r -d '' link; do rm "$link" && mkdir "$link"; done
  mkdir -p "$template/drive_c/Program Files/Frimbola"
  cp "$exe" "$template/drive_c/Program Files/Frimbola/frimbola.exe"
}

run_scenario() {
  local scenario=$1 name status start seconds
  name=$(basename "$scenario" .sh)
  local dir=$work/$name
  mkdir -p "$dir/out"
  start=$(date +%s%N)
  cp -a "$work/template" "$dir/prefix"
  start_display
  live_prefix=$dir/prefix
  status=0
  WINEPREFIX=$dir/prefix E2E_DRIVER=$driver E2E_OUT=$dir/out E2E_LIB=$here/lib.sh \
    E2E_EXE="$dir/prefix/drive_c/Program Files/Frimbola/frimbola.exe" \
    E2E_EXE_WIN='C:\Program Files\Frimbola\frimbola.exe' \
    timeout -k 5 "$scenario_timeout" bash "$scenario" >"$dir/out/scenario.log" 2>&1 || status=$?
  stop_display
  [ "${E2E_KEEP:-0}" = 1 ] || rm -rf "$dir/prefix"
  local tenths=$((($(date +%s%N) - start) / 100000000))
  seconds=$((tenths / 10)).$((tenths % 10))
  if [ "$status" = 0 ]; then
    printf 'PASS  %-24s %6s s\n' "$name" "$seconds"
  else
    [ "$status" = 124 ] && echo "(the scenario ran out of time)" >>"$dir/out/scenario.log"
    printf 'FAIL  %-24s %6s s\n' "$name" "$seconds"
    sed 's/^/      | /' "$dir/out/scenario.log"
    if [ -s "$dir/out/program.log" ]; then
      echo "      | --- program output"
      sed 's/^/      | /' "$dir/out/program.log"
    fi
    failed+=("$name")
  fi
}

echo "e2e: preparing the Wine prefix"
make_template
failed=()
for scenario in "${scenarios[@]}"; do run_scenario "$scenario"; done
echo "e2e: $((${#scenarios[@]} - ${#failed[@]})) of ${#scenarios[@]} scenarios passed${failed:+; failed: ${failed[*]}}"
[ ${#failed[@]} -eq 0 ]
