# The build's progress dialog. Recordings of automatic capture, switched by the hot
# key (0x04), with the flat border removed (0x10) and the width limited (sizemethod
# 1), so that every step reports a frame at a time. Cancel pressed at the first report
# of each step ("トリミング", "サイズの変更", "パレット作成", "アニメGIF作成") ends the
# build in that step with the warning box, leaves the counter and empties the
# recording. A build that runs to its end shows the steps in order, each from 0 % a
# frame at a time, the elapsed time and the remaining time as hh:mm:ss, and writes the
# number no cancelled build used.
# The build probe (driver/probe/build_probe.h) reads the dialog at each report from
# inside the program: a build only pumps messages there, so a look from outside can
# miss a step of a few frames.
source "$E2E_LIB"
source "$(dirname "$E2E_LIB")/capture_lib.sh"
source "$(dirname "$E2E_LIB")/gif_lib.sh"

set_options flags $((0x16)) intervaltimer 50 sizemethod 1 sizepixel 200
start_program
wait_main >/dev/null
start_player gom gom 320 240 300 300 --border 8

record() {  # automatic capture for about half a second, stopped (and so built) by the hot key
  drv hotkey
  sleep 0.5
  drv hotkey
}

steps=(トリミング サイズの変更 パレット作成 アニメGIF作成)
for step in "${steps[@]}"; do
  say "cancel at the first report of $step"
  watch_build "$step" --cancel-at "$step"
  record
  end_watch "$step"
  watch=$(watch_lines "$step")
  check_contains "the probe's cancel" "cancel	$step	0" "$watch"
  check_eq "the dialog's step when it closed" "closed	$step" "$(printf '%s\n' "$watch" | grep '^closed' | cut -f 1,2)"
  check_build_warning
  check_eq "frames recorded after the cancel in $step" 0 "$(recorded_count)"
  # No step leaves a file: the writer's half-written one goes with its cancel.
  check_eq "GIF files after the cancel in $step" 0 "$(gif_count)"
done

say "a build that runs to its end"
# Each report held 100 ms: the build takes seconds, and the dialog shows its times.
watch_build full --slow 100
record
end_watch full
watch=$(watch_lines full)
printf '%s\n' "$watch" >"$E2E_OUT/full-build.txt"
gif=$(gif_path 1001)
frames=$(gif_field "$gif" frames)
[ "$frames" -ge 3 ] || fail "only $frames frames in half a second of capture every 50 ms"
# sizemethod 1, 200 pixels: the 304 x 224 content after the border becomes 200 x 147.
check_eq "size of the built GIF" "200 147" "$(gif_field "$gif" size)"
gif_check quadrants "$gif" 0
check_eq "dialog title" "open	$GIF_BUILD_TITLE" "$(printf '%s\n' "$watch" | sed -n 1p | cut -f 1,3)"
check_eq "dialogs of the build" 1 "$(printf '%s\n' "$watch" | grep -c '^open')"
# Steps in order, each from 0 %; the three before the writer report frame i as i * 100 / n.
check_eq "steps of the build" "$(printf '%s\n' "${steps[@]}")" \
  "$(printf '%s\n' "$watch" | awk -F '\t' '$1 == "progress" && $3 != last { print $3; last = $3 }')"
for step in "${steps[@]:0:3}"; do
  want=$(for ((i = 0; i < frames; i++)); do echo $((i * 100 / frames)); done)
  check_eq "reports of $step for $frames frames" "$want" \
    "$(printf '%s\n' "$watch" | awk -F '\t' -v step="$step" '$1 == "progress" && $3 == step { print $2 }')"
done
check_eq "first report of the writer" 0 \
  "$(printf '%s\n' "$watch" | awk -F '\t' '$1 == "progress" && $3 == "アニメGIF作成" { print $2; exit }')"
# Times: a report that shows a new elapsed second s at p % also shows the remaining
# time (100 - p) * s / p; the probe logs the texts as each report finds them, so the
# texts a report set appear with the report after it.
python3 - "$E2E_OUT/full-build.txt" <<'EOF' || fail "the dialog's times do not fit the reports"
import re, sys
lines = [l.rstrip("\n").split("\t") for l in open(sys.argv[1], encoding="utf-8")]
reports = [l for l in lines if l[0] in ("progress", "closed")]
clock = re.compile(r"^(\d\d):(\d\d):(\d\d)$")
shown = 0
for before, after in zip(reports, reports[1:]):
    if before[0] != "progress" or after[-2] == before[-2]:
        continue
    m, r = clock.match(after[-2]), clock.match(after[-1])
    if not m or not r:
        sys.exit("times not shown as hh:mm:ss: %r %r" % (after[-2], after[-1]))
    s = int(m[1]) * 3600 + int(m[2]) * 60 + int(m[3])
    p = int(before[1])
    remaining = int(r[1]) * 3600 + int(r[2]) * 60 + int(r[3])
    if p == 0 or s <= shown or remaining != (100 - p) * s // p:
        sys.exit("after the report of %d %%: elapsed %s, remaining %s (last elapsed %d s)" % (p, after[-2], after[-1], shown))
    shown = s
if shown < 2:
    sys.exit("the elapsed time reached only %d s in a build of several seconds" % shown)
EOF
check_eq "frames recorded after the build" 0 "$(recorded_count)"
stop_player gom
stop_program
check_eq "filecount after four cancelled builds and one whole" 1002 "$(ini_value "$(settings_file)" option filecount)"
echo ok
