#!/usr/bin/env bash
# The same frames give the same bytes in both builds: the native tool and the
# Windows tool under Wine build the same GIFs and JPEG files.
# Usage: same_bytes_test.sh NATIVE_TOOL WINDOWS_COMMAND...
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
native=$1
shift
windows=("$@")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/frames" "$work/native" "$work/windows"
ffmpeg -loglevel error -f lavfi -i testsrc2=size=200x150:rate=10 -frames:v 6 -pix_fmt bgr24 "$work/frames/f%02d.bmp"
python3 "$here/make_frames.py" "$work/frames" 6 200 150

failures=0
compare() {  # compare NAME GIF-OPTIONS...
  local name=$1
  shift
  "$native" gif "$@" -o "$work/native/$name" "$work"/frames/f*.bmp >/dev/null
  "${windows[@]}" gif "$@" -o "$work/windows/$name" "$work"/frames/f*.bmp >/dev/null
  if cmp -s "$work/native/$name" "$work/windows/$name"; then echo "ok: $name"; else echo "DIFFERENT: $name"; failures=$((failures + 1)); fi
}
compare bilinear.gif --size-method 2 --size-pixel 150
compare box-shared.gif --shared-palette --colors 2 --size-method 3 --size-pixel 60
compare motion.gif --motion --trim --colors 0 --interval 250

"$native" jpeg --quality 80 --size-method 1 --size-pixel 150 -d "$work/native" "$work"/frames/frame*.bmp >/dev/null
"${windows[@]}" jpeg --quality 80 --size-method 1 --size-pixel 150 -d "$work/windows" "$work"/frames/frame*.bmp >/dev/null
for file in "$work"/native/*.jpg; do
  name=$(basename "$file")
  if cmp -s "$file" "$work/windows/$name"; then echo "ok: $name"; else echo "DIFFERENT: $name"; failures=$((failures + 1)); fi
done
[ "$failures" -eq 0 ] || exit 1
