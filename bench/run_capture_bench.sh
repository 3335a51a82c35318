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

source scripts/wine-session.sh
start_wine_session 1920x1080
scripts/wine-run.sh build/windows/bench/capture_bench.exe "$frames"
