# Shared functions of the capture scenarios (scenarios/capture_*.sh), sourced after lib.sh.
#
# Settings before (or while) the program runs:
#   set_options KEY VALUE [KEY VALUE...]   writes section "option" of the settings file
#                                          through the private-profile functions
# Player stand-ins (drv player: a player's windows with the known picture in its video window):
#   start_player NAME KIND [ARGS...]   starts one in the background, waits until it is ready;
#                                      sets PLAYER_TOP (its top-level window) and PLAYER_RECT
#                                      ("L T R B" of the window the program must capture)
#   stop_player NAME                   closes it and waits for it to end
# Frame files in the output folder (prefix "A"):
#   frames_folder                      the Unix path of the output folder
#   frame_path NUMBER                  the Unix path of A<NUMBER, seven digits>.jpg
#   frame_count                        how many .jpg files the output folder holds
#   wait_frame NUMBER [SECONDS]        waits until that file is complete (ends with "c-QZ")
#   wait_frame_count N [SECONDS]       waits until at least N files are there
#   check_frame NUMBER W H [picture_check.py options]   the file is complete and shows the
#                                      picture of a W x H window; prints the frame number
#   check_no_new_frames COUNT WHAT     the output folder still holds COUNT files
#   jpeg_size NUMBER                   prints "W H" of the file
# Every wait is bounded; a failed one ends the scenario like a failed check.

CAPTURE_CHECK=$(dirname "$E2E_LIB")/picture_check.py
CAPTURE_INI_WIN=
CAPTURE_FRAMES=
declare -A CAPTURE_PLAYER_PID=()
declare -A CAPTURE_PLAYER_TOP=()

set_options() {
  if [ -z "$CAPTURE_INI_WIN" ]; then
    local appdata_win
    appdata_win=$(drv special-folder appdata)
    mkdir -p "$(unix_path "$appdata_win")/Qv"
    CAPTURE_INI_WIN="$appdata_win\\Qv\\frimbola.ini"
  fi
  while [ $# -ge 2 ]; do
    drv ini-write "$CAPTURE_INI_WIN" option "$1" "$2"
    shift 2
  done
}

start_player() {
  local name=$1 out=$E2E_OUT/player-$1.out waited=0
  shift
  : >"$out"  # emptied here, not in the background job: no "ready" of an earlier player is read
  drv player "$@" >>"$out" 2>&1 &
  CAPTURE_PLAYER_PID[$name]=$!
  until grep -q '^ready$' "$out" 2>/dev/null; do
    kill -0 "${CAPTURE_PLAYER_PID[$name]}" 2>/dev/null || fail "player $name ended: $(cat "$out")"
    [ "$waited" -lt 150 ] || fail "player $name was not ready within 15 s"
    sleep 0.1
    waited=$((waited + 1))
  done
  PLAYER_TOP=$(sed -n 's/^top\t//p' "$out")
  PLAYER_RECT=$(sed -n 's/^rect\t//p' "$out" | tr '\t' ' ')
  CAPTURE_PLAYER_TOP[$name]=$PLAYER_TOP
}

stop_player() {
  local name=$1 pid=${CAPTURE_PLAYER_PID[$1]} waited=0
  drv post "${CAPTURE_PLAYER_TOP[$name]}" WM_CLOSE
  while kill -0 "$pid" 2>/dev/null; do
    [ "$waited" -lt 100 ] || fail "player $name did not end within 10 s"
    sleep 0.1
    waited=$((waited + 1))
  done
  wait "$pid" || fail "player $name failed: $(cat "$E2E_OUT/player-$name.out")"
}

frames_folder() {
  [ -n "$CAPTURE_FRAMES" ] || CAPTURE_FRAMES="$(pictures_folder)/Frimbola"
  printf '%s\n' "$CAPTURE_FRAMES"
}

frame_path() { printf '%s/A%07d.jpg\n' "$(frames_folder)" "$1"; }

frame_count() {
  find "$(frames_folder)" -maxdepth 1 -name '*.jpg' | wc -l
}

frame_complete() { [ -f "$1" ] && [ "$(tail -c 4 "$1")" = c-QZ ]; }

wait_frame() {
  local file waited=0 limit=$((${2:-5} * 10))
  file=$(frame_path "$1")
  until frame_complete "$file"; do
    if [ "$waited" -ge "$limit" ]; then
      [ -f "$file" ] || fail "no $(basename "$file") within ${2:-5} s; the folder holds: $(ls "$(frames_folder)")"
      fail "$(basename "$file") does not end with c-QZ but with: $(tail -c 4 "$file" | od -An -c)"
    fi
    sleep 0.1
    waited=$((waited + 1))
  done
}

wait_frame_count() {
  local want=$1 waited=0 limit=$((${2:-5} * 10))
  until [ "$(frame_count)" -ge "$want" ]; do
    [ "$waited" -lt "$limit" ] || fail "only $(frame_count) frame files within ${2:-5} s, wanted $want"
    sleep 0.1
    waited=$((waited + 1))
  done
}

check_frame() {
  local number=$1 file
  shift
  file=$(frame_path "$number")
  frame_complete "$file" || fail "$(basename "$file") is missing or does not end with c-QZ"
  python3 "$CAPTURE_CHECK" match "$file" "$@" || fail "$(basename "$file") does not show the player's picture"
}

check_no_new_frames() {
  check_eq "$2: frame files" "$1" "$(frame_count)"
}

jpeg_size() { python3 "$CAPTURE_CHECK" size "$(frame_path "$1")"; }
