# GIF mode (option flag 0x02) builds the recording into the next numbered GIF. Five
# frames taken by the hot key and built from the tray menu become A0001001.gif: five
# looping frames of the video window's size, each the picture it recorded, every delay
# intervaltimer / 10; the build empties the recording and moves the counter on, and a
# build with nothing recorded writes nothing. With the hot key switching automatic
# capture (0x04) and delays from capture times (0x08), stopping capture by the hot key
# builds, and each frame lasts until the next capture, never longer than animetimer.
# (A recording that reaches 256 frames builds by itself: capture_gif_list.)
source "$E2E_LIB"
source "$(dirname "$E2E_LIB")/capture_lib.sh"
source "$(dirname "$E2E_LIB")/gif_lib.sh"

set_options flags 2 intervaltimer 250
start_program
wait_main >/dev/null
start_player gom gom 160 120 300 300

say "five frames by the hot key, built from the tray menu"
record_frames 1 5
watch_build menu
build_from_menu
end_watch menu
gif=$(gif_path 1001)
check_eq "frames of A0001001.gif" 5 "$(gif_field "$gif" frames)"
check_eq "size of A0001001.gif" "160 120" "$(gif_field "$gif" size)"
check_eq "frame rectangles of A0001001.gif" "160x120 160x120 160x120 160x120 160x120" "$(gif_field "$gif" frame-sizes)"
check_eq "delays of A0001001.gif (intervaltimer 250)" "25 25 25 25 25" "$(gif_field "$gif" delays)"
check_eq "loop of A0001001.gif" 0 "$(gif_field "$gif" loop)"
check_contains "colour tables of A0001001.gif" "local " "$(gif_field "$gif" tables)"
for i in 0 1 2 3 4; do gif_check picture "$gif" "$i" 160 120 --frame $((i + 1)); done

say "the build emptied the recording; a build of nothing writes nothing"
check_eq "frames recorded after the build" 0 "$(recorded_count)"
drv post FrimBola WM_BUILDGIF
# The menu opens only once the program has handled the message posted before it.
check_eq "frames recorded after a build of nothing" 0 "$(recorded_count)"
check_eq "GIF files after a build of nothing" 1 "$(gif_count)"
check_contains "the next file in the tray menu" '"A0001002.' "$(drv tray-menu)"
stop_program
check_eq "filecount after one build" 1002 "$(ini_value "$(settings_file)" option filecount)"

say "automatic capture by the hot key; stopping it builds, with delays from capture times"
set_options flags $((0x0E)) intervaltimer 10 animetimer 30
start_program
wait_main >/dev/null
watch_build auto
drv hotkey
sleep 0.5          # frames every 10 ms
drv hold-key ctrl 1000 >/dev/null  # no frames meanwhile: a gap far above animetimer
sleep 0.3
drv hotkey
end_watch auto
gif=$(gif_path 1002)
read -r -a delays <<<"$(gif_field "$gif" delays)"
count=${#delays[@]}
[ "$count" -ge 10 ] || fail "only $count frames in about 0.8 s of capture every 10 ms"
last=$((count - 1))
check_eq "delay of the last frame (animetimer 30)" 30 "${delays[$last]}"
capped=0 short=0
for ((i = 0; i < last; i++)); do
  d=${delays[$i]}
  [ "$d" -le 30 ] || fail "frame $i lasts $d, above animetimer 30: ${delays[*]}"
  [ "$d" -lt 30 ] && short=$((short + 1))
  [ "$d" -eq 30 ] && capped=$((capped + 1))
done
# Frames 10 ms apart last a few hundredths; the frame before the Ctrl gap is capped.
[ "$capped" -ge 1 ] || fail "no frame before the 1 s gap was capped at animetimer: ${delays[*]}"
[ "$short" -ge $((last / 2)) ] || fail "only $short of $last frames follow their capture times: ${delays[*]}"
gif_check picture "$gif" 0 160 120 --frame 5
gif_check picture "$gif" "$last" 160 120 --frame 5
check_eq "frames recorded after the hot key's build" 0 "$(recorded_count)"
check_contains "tray menu after the hot key's build" "6	自動キャプチャー[10ms毎]>開始" "$(drv tray-menu)"
stop_player gom
stop_program
check_eq "filecount after two builds" 1003 "$(ini_value "$(settings_file)" option filecount)"
echo ok
