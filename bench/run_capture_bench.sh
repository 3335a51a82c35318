#!/usr/bin/env bash
# Frames per second of capture + JPEG store under Wine, on a virtual display of its
# own, for windows of 640x360 and 1280x720 (bench/capture_bench.cpp).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
frames=${1:-100}

echo "bench: building (Windows)"
cmake -S . -B build/windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
cmake --build build/windows --target capture_bench >/dev/null

work=$(mktemp -d)
xvfb_pid=
cleanup() {
  WINEPREFIX=$work/prefix wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display") FRIMBOLA_WINEPREFIX=$work/prefix
WINEPREFIX=$work/prefix WINEARCH=win32 WINEDEBUG=-all wineboot -i >/dev/null 2>&1
scripts/wine-run.sh build/windows/bench/capture_bench.exe "$frames"
