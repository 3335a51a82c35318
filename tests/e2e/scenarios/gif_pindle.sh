# Handing the GIF to the companion clip program (option flag 0x20). A window of its
# class and title answering the editing query (message 1061, wParam 1) with 1 gets the
# GIF as "$pindle.gif" in the data folder and the notice (wParam 0, lParam 1) once the
# file is complete; no numbered file is written and the counter stays. Answered with 0,
# or with no such window, the program asks; No keeps the recording and writes nothing,
# Yes writes the next numbered file.
source "$E2E_LIB"
source "$(dirname "$E2E_LIB")/capture_lib.sh"
source "$(dirname "$E2E_LIB")/gif_lib.sh"

QUESTION="Pindleの編集中ではありません．
アニメGIFのファイルを作成します．
よろしいですか?"

pindle_pid=
start_pindle() {  # ANSWER
  local waited=0
  : >"$E2E_OUT/pindle-$1.out"
  drv pindle "$1" >>"$E2E_OUT/pindle-$1.out" 2>&1 &
  pindle_pid=$!
  until grep -q '^ready' "$E2E_OUT/pindle-$1.out"; do
    kill -0 "$pindle_pid" 2>/dev/null || fail "the Pindle window ended: $(cat "$E2E_OUT/pindle-$1.out")"
    [ "$waited" -lt 100 ] || fail "the Pindle window was not ready within 10 s"
    sleep 0.1
    waited=$((waited + 1))
  done
}
stop_pindle() {
  drv post "Pindle API-kurasu" WM_CLOSE
  wait "$pindle_pid" || fail "the Pindle window failed: $(cat "$E2E_OUT"/pindle-*.out)"
}
messages() { grep '^message' "$E2E_OUT/pindle-$1.out" | cut -f 2-; }

set_options flags $((0x22)) intervaltimer 100
start_program
wait_main >/dev/null
start_player gom gom 160 120 300 300
exchange=$(data_folder)/\$pindle.gif

say "Pindle in its editing mode takes the GIF"
start_pindle 1
record_frames 1 2
watch_build handoff
build_from_menu
end_watch handoff
[ -f "$exchange" ] || fail "no \$pindle.gif in the data folder"
size=$(stat -c %s "$exchange")
# The query finds no file yet; the notice comes once the whole file is there.
check_eq "messages to Pindle" "1	0	absent
0	1	$size" "$(messages 1)"
check_eq "frames of \$pindle.gif" "160x120 160x120" "$(gif_field "$exchange" frame-sizes)"
gif_check picture "$exchange" 0 160 120 --frame 1
gif_check picture "$exchange" 1 160 120 --frame 2
check_eq "numbered GIF files after the hand-off" 0 "$(gif_count)"
check_eq "frames recorded after the hand-off" 0 "$(recorded_count)"
check_contains "the next file after the hand-off" '"A0001001.' "$(drv tray-menu)"
stop_pindle

say "Pindle not editing: the question; No keeps the recording"
start_pindle 0
record_frames 3 3
build_from_menu
check_eq "the question" "$QUESTION" "$(drv message-box-text 10000 --press IDNO)"
drv dialog-gone Frimbola 10000 || fail "the question stayed open after No"
check_eq "frames recorded after No" 1 "$(recorded_count)"
check_eq "numbered GIF files after No" 0 "$(gif_count)"
check_eq "messages to Pindle when it is not editing" "1	0	$size" "$(messages 0)"
stop_pindle

say "no Pindle: the question; Yes writes the numbered file"
build_from_menu
watch_build yes
check_eq "the question without Pindle" "$QUESTION" "$(drv message-box-text 10000 --press IDYES)"
end_watch yes
gif=$(gif_path 1001)
check_eq "frames of A0001001.gif after Yes" 160x120 "$(gif_field "$gif" frame-sizes)"
gif_check picture "$gif" 0 160 120 --frame 3
check_eq "frames recorded after Yes" 0 "$(recorded_count)"
check_eq "size of \$pindle.gif, left alone" "$size" "$(stat -c %s "$exchange")"
stop_player gom
stop_program
check_eq "filecount after a hand-off and one numbered file" 1002 "$(ini_value "$(settings_file)" option filecount)"
echo ok
