#!/usr/bin/env bash
# Builds frimbola.exe and starts it under Wine.
# - With a display (DISPLAY set and answering), the program runs on it, in the Wine
#   prefix build/wineprefix, until it is quit from its tray menu. Arguments go to the
#   program (an output folder, optionally as "-define=FOLDER" in double quotes).
# - Without one, a demo runs on a virtual display: a stand-in video player shows a
#   moving picture, Frimbola records it in GIF mode with automatic capture and builds
#   an animated GIF. It prints where the GIF went, a screenshot of the desktop with
#   the tray icon and one of the progress dialog during the build.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash scripts/setup.sh

# The i686 program, or on a host that runs no 32-bit programs the same built for x86_64.
source scripts/windows-arch.sh
win=build/$FRIMBOLA_WIN_BUILD
mkdir -p build
echo "run: building (Windows, $FRIMBOLA_WIN_ARCH)"
cmake -S "$root" -B "$win" -G Ninja -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-$FRIMBOLA_WIN_ARCH.cmake" \
  >"$win.configure.log" 2>&1 || { cat "$win.configure.log"; exit 1; }
cmake --build "$win" --target frimbola demo_player frimbola-e2e-driver frimbola-e2e-probe \
  >"$win.build.log" 2>&1 || { tail -n 40 "$win.build.log"; exit 1; }

if [ -n "${DISPLAY:-}" ] && timeout 5 xdpyinfo >/dev/null 2>&1; then
  export FRIMBOLA_WINEPREFIX=${FRIMBOLA_WINEPREFIX:-$root/build/wineprefix}
  if [ ! -d "$FRIMBOLA_WINEPREFIX" ]; then
    echo "run: making the Wine prefix $FRIMBOLA_WINEPREFIX"
    WINEPREFIX=$FRIMBOLA_WINEPREFIX WINEARCH=${FRIMBOLA_WINEARCH:-win32} WINEDEBUG=-all wineboot -i >/dev/null 2>&1
  fi
  echo "run: starting frimbola.exe on $DISPLAY (its icon is in the tray; quit from its menu)"
  exec scripts/wine-run.sh $win/frimbola.exe "$@"
fi

demo=$root/out/demo
rm -rf "$demo"
mkdir -p "$demo"
echo "run: no display; the demo runs on a virtual one"
FRIMBOLA_DEMO_OUT=$demo FRIMBOLA_DEMO_PLAYER=$root/$win/tools/demo_player.exe \
  bash tests/e2e/run_e2e.sh $win/frimbola.exe $win/tests/e2e/frimbola-e2e-driver.exe \
  scripts/demo_scenario.sh
gif=$(find "$demo" -maxdepth 1 -name '*.gif' | head -n 1)
echo "run: the animated GIF built from the recording: $gif"
echo "run: the desktop while recording: $demo/desktop.png"
[ -f "$demo/progress.png" ] && echo "run: the progress dialog during the build: $demo/progress.png"
exit 0
