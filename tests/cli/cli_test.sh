#!/usr/bin/env bash
# End-to-end checks of frimbola-cli: GIF and JPEG output read back by independent
# tools (ImageMagick's identify, libjpeg's djpeg), and the error paths.
# Usage: cli_test.sh COMMAND...   (the tool, or an emulator followed by the tool)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cli=("$@")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

mkdir -p "$work/up" "$work/down" "$work/jpeg" "$work/small"
python3 "$here/make_frames.py" "$work/up" 5 64 48
python3 "$here/make_frames.py" "$work/down" 5 64 48 --top-down
python3 "$here/make_frames.py" "$work/small" 1 32 32

# Bottom-up and top-down BMP files hold the same pictures, so they make the same GIF.
"${cli[@]}" gif --interval 100 -o "$work/up.gif" "$work"/up/frame*.bmp >/dev/null
"${cli[@]}" gif --interval 100 -o "$work/down.gif" "$work"/down/frame*.bmp >/dev/null
check "top-down and bottom-up frames give the same GIF" cmp -s "$work/up.gif" "$work/down.gif"
check "five frames of 64x48 with delays of 1/10 s" \
  test "$(identify -format '%w %h %T,' "$work/up.gif")" = "64 48 10,64 48 10,64 48 10,64 48 10,64 48 10,"
check "no partial file is left" test ! -e "$work/up.gif.partial"

"${cli[@]}" gif --interval 100 --delay 50 --times 0,120,380,390,1000 --follow-times --size-method 3 \
  --size-pixel 32 --colors 0 --shared-palette -o "$work/timed.gif" "$work"/up/frame*.bmp >/dev/null
check "capture times give the delays, capped at --delay" \
  test "$(identify -format '%T,' "$work/timed.gif")" = "12,26,1,50,50,"
check "fit into a square of 32" test "$(identify -format '%w %h' "$work/timed.gif[0]")" = "32 24"

"${cli[@]}" gif --motion --trim -o "$work/motion.gif" "$work"/up/frame*.bmp >/dev/null
check "motion extraction cuts to the moving band" test "$(identify -format '%h' "$work/motion.gif[0]")" = "16"

"${cli[@]}" gif -o "$work/again.gif" "$work/up.gif" "$work/up.gif" >/dev/null
check "a GIF frame is read through its first image" test "$(identify -format '%w,' "$work/again.gif")" = "64,64,"

"${cli[@]}" jpeg --quality 30 --prefix B --start 7 -d "$work/jpeg" "$work"/up/frame00[01].bmp >/dev/null
check "numbered JPEG files" test -f "$work/jpeg/B0000007.jpg" -a -f "$work/jpeg/B0000008.jpg"
check "each JPEG ends with its trailer" test "$(tail -c 4 "$work/jpeg/B0000008.jpg")" = "c-QZ"
check "djpeg decodes the JPEG" sh -c "djpeg '$work/jpeg/B0000007.jpg' >/dev/null"

# Errors: one line naming the file and the reason, a non-zero status, nothing written.
expect_error() {  # expect_error STATUS TEXT ARGS...
  local status=$1 text=$2
  shift 2
  local got=0
  "${cli[@]}" "$@" >"$work/out.txt" 2>"$work/err.txt" || got=$?
  [ "$got" -eq "$status" ] && grep -q -- "$text" "$work/err.txt"
}
echo "not a picture" >"$work/text.bmp"
check "an unreadable frame is named" expect_error 1 "missing.bmp: cannot be read" gif -o "$work/x.gif" "$work/missing.bmp"
check "a file that is no bitmap is named" expect_error 1 "text.bmp: not a supported bitmap" gif -o "$work/x.gif" "$work/text.bmp"
check "frames of different sizes are refused" expect_error 1 "frames of different sizes" \
  gif -o "$work/x.gif" "$work/up/frame000.bmp" "$work/small/frame000.bmp"
check "nothing is written after an error" test ! -e "$work/x.gif" -a ! -e "$work/x.gif.partial"
check "an unknown option is a usage error" expect_error 2 "unknown option" gif --fast -o "$work/x.gif" "$work/up/frame000.bmp"
check "a colour setting out of range is a usage error" expect_error 2 "colors" gif --colors 5 -o "$work/x.gif" "$work/up/frame000.bmp"
check "--follow-times needs times" expect_error 2 "needs --times" gif --follow-times -o "$work/x.gif" "$work/up/frame000.bmp"
check "the JPEG folder must exist" expect_error 1 "cannot be created" jpeg -d "$work/nowhere" "$work/up/frame000.bmp"
check "--help documents both commands" sh -c "$(printf '%q ' "${cli[@]}") --help | grep -q 'frimbola-cli jpeg'"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
