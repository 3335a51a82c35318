# Shared functions of the GIF scenarios (scenarios/gif_*.sh), sourced after lib.sh and
# capture_lib.sh.
#
# Recording:
#   set_frame N                 the player (PLAYER_TOP) shows frame number N, painted before it returns
#   recorded_count              the frames the tray menu says are recorded (0 when it offers no build)
#   wait_recorded N             waits until the tray menu says N
#   record_frames FIRST LAST    per frame number: set_frame, the hot key, wait_recorded (counting
#                               from RECORD_BASE, 0 unless the credit slot makes it 1)
# Building:
#   watch_build NAME [OPTIONS]  starts "drv build-watch OPTIONS" in the background and waits until it
#                               has hooked the program; its lines go to $E2E_OUT/watch-NAME.out
#   end_watch NAME [SECONDS]    waits until it ends (it ends when the progress dialog closed)
#   watch_lines NAME            the lines it printed (open, progress, cancel, closed: driver/probe/build_probe.h)
#   build_from_menu             chooses the tray menu's build item
#   check_build_warning         the warning box of a failed build is there: checks its text, presses OK
# Files (output folder, prefix "A"):
#   gif_path NUMBER             the Unix path of A<NUMBER, seven digits>.gif
#   gif_count                   how many .gif files the output folder holds
#   gif_field FILE KEY          one line of "gif_picture.py summary FILE" without its key
#   gif_check ARGS...           gif_picture.py ARGS...; a failed check ends the scenario
#   browser_check FILE...       tests/browser/check_gifs.py on the files (headless Chromium); skipped
#                               without Chromium, except under CI
# Every wait is bounded; a failed one ends the scenario like a failed check.

GIF_PICTURE=$(dirname "$E2E_LIB")/gif_picture.py
GIF_BROWSER_CHECK=$(dirname "$E2E_LIB")/../browser/check_gifs.py
GIF_BUILD_TITLE="Frimbola [アニメGIFの作成]"
GIF_WARNING="アニメGIFが作成できませんでした."
RECORD_BASE=0
declare -A GIF_WATCH_PID=()

set_frame() {
  drv send "$PLAYER_TOP" 0x401 "$1" >/dev/null || fail "the player did not show frame $1"
}

recorded_count() {
  local menu
  menu=$(drv tray-menu) || fail "the tray menu did not open"
  # "7<TAB>アニメGIFを作成する[N]" while frames are recorded and capture is stopped.
  printf '%s\n' "$menu" | sed -n 's/^7\tアニメGIFを作成する\[\([0-9]*\)\]$/\1/p' | grep . || echo 0
}

wait_recorded() {
  local want=$1 waited=0 count
  # A frame is stored when the program gets to it: the menu is asked until it shows it.
  until count=$(recorded_count) && [ "$count" = "$want" ]; do
    [ "$waited" -lt 20 ] || fail "the tray menu says $count frames are recorded, not $want"
    sleep 0.2
    waited=$((waited + 1))
  done
}

record_frames() {
  local n
  for ((n = $1; n <= $2; n++)); do
    set_frame "$n"
    drv hotkey
    wait_recorded $((RECORD_BASE + n - $1 + 1))
  done
}

watch_build() {
  local name=$1 out=$E2E_OUT/watch-$1.out waited=0
  shift
  : >"$out"
  drv build-watch "$@" >>"$out" 2>&1 &
  GIF_WATCH_PID[$name]=$!
  until grep -q '^hooked$' "$out" 2>/dev/null; do
    kill -0 "${GIF_WATCH_PID[$name]}" 2>/dev/null || fail "build-watch $name ended: $(cat "$out")"
    [ "$waited" -lt 100 ] || fail "build-watch $name did not hook the program within 10 s"
    sleep 0.1
    waited=$((waited + 1))
  done
}

end_watch() {
  local name=$1 pid=${GIF_WATCH_PID[$1]} limit=$((${2:-60} * 10)) waited=0
  while kill -0 "$pid" 2>/dev/null; do
    [ "$waited" -lt "$limit" ] || fail "the build watched as $name did not end within ${2:-60} s: $(cat "$E2E_OUT/watch-$name.out")"
    sleep 0.1
    waited=$((waited + 1))
  done
  wait "$pid" || fail "build-watch $name failed: $(cat "$E2E_OUT/watch-$name.out")"
}

watch_lines() { grep -v '^hooked$' "$E2E_OUT/watch-$1.out"; }

build_from_menu() {
  drv menu-choose 7 >/dev/null || fail "the tray menu offers no build"
}

check_build_warning() {
  local text
  text=$(drv message-box-text 20000) || fail "no warning box after the failed build"
  check_eq "the warning of a failed build" "$GIF_WARNING" "$text"
  if ! drv dialog-gone Frimbola 10000; then
    # What is open then, for the log: the box's controls and the screen.
    drv dialog Frimbola 1000 || true
    screenshot warning-stayed
    fail "the warning box stayed open"
  fi
}

gif_path() { printf '%s/A%07d.gif\n' "$(frames_folder)" "$1"; }

gif_count() {
  find "$(frames_folder)" -maxdepth 1 -name '*.gif' | wc -l
}

gif_field() {
  local summary
  summary=$(python3 "$GIF_PICTURE" summary "$1") || fail "$(basename "$1") is not a GIF giflib reads"
  printf '%s\n' "$summary" | sed -n "s/^$2 //p"
}

gif_check() {
  python3 "$GIF_PICTURE" "$@" || fail "gif_picture.py $*"
}

browser_check() {
  if ! command -v "${CHROMIUM:-chromium}" >/dev/null; then
    [ -z "${CI:-}" ] || fail "chromium is not installed (scripts/setup.sh installs it)"
    say "browser check skipped: no chromium"
    return 0
  fi
  timeout 120 python3 "$GIF_BROWSER_CHECK" "$@" >"$E2E_OUT/browser.out" 2>&1 ||
    fail "headless Chromium does not play the GIFs as giflib reads them: $(cat "$E2E_OUT/browser.out")"
}
