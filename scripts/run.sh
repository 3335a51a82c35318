#!/usr/bin/env bash
# Builds everything, then shows the engine at work: frames of a moving test
# picture become a looping animated GIF through frimbola-cli, the same build
# steps the program runs. Prints the path of the GIF.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash scripts/setup.sh

build() {
  local dir=$1
  shift
  cmake -S "$root" -B "build/$dir" -G Ninja "$@" >"build/$dir.configure.log" 2>&1 ||
    { cat "build/$dir.configure.log"; exit 1; }
  cmake --build "build/$dir" >"build/$dir.build.log" 2>&1 || { tail -n 40 "build/$dir.build.log"; exit 1; }
}
mkdir -p build
echo "run: building (native and Windows)"
build native
build windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake

demo=$root/out/demo
rm -rf "$demo"
mkdir -p "$demo/frames"
echo "run: making 40 demo frames (480x270, a moving test picture) in $demo/frames"
ffmpeg -loglevel error -f lavfi -i testsrc2=size=480x270:rate=10 -frames:v 40 -pix_fmt bgr24 "$demo/frames/frame%03d.bmp"

echo "run: building the GIF (256 colours, frames 1/10 s, width limited to 320)"
build/native/tools/frimbola-cli gif --colors 4 --interval 100 --size-method 1 --size-pixel 320 \
  -o "$demo/demo.gif" "$demo"/frames/frame*.bmp
echo "$demo/demo.gif"
