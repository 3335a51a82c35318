#!/usr/bin/env bash
# Seconds per GIF build of 100 frames at 640x360 and at 1280x720 (ffmpeg's testsrc2),
# 255 colours, with a colour table per frame and with --shared-palette: frimbola-cli
# natively and the Windows build's frimbola-cli.exe under Wine (both Release), beside
# ffmpeg's palettegen + paletteuse on the same frames. Wine runs in a prefix and on a
# virtual display of this run's own; its process start is timed and shown apart.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
frames=${FRIMBOLA_BENCH_FRAMES:-/tmp/frimbola-bench-frames}
source bench/bench_lib.sh

# The Wine session picks the Windows build this host runs (i686, or x86_64 where the
# kernel runs no 32-bit programs) and cleans up after itself.
source scripts/wine-session.sh
arch=${FRIMBOLA_WIN_ARCH:-i686}
windows_build=build/bench-${FRIMBOLA_WIN_BUILD:-windows}

echo "bench: building frimbola-cli (native and $arch Windows, Release)"
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/bench --target frimbola-cli >/dev/null
cmake -S . -B "$windows_build" -G Ninja --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-$arch.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$windows_build" --target frimbola-cli >/dev/null
native=build/bench/tools/frimbola-cli
windows=$windows_build/tools/frimbola-cli.exe

make_set video testsrc2=size=640x360:rate=25
make_set video720 testsrc2=size=1280x720:rate=25

echo "bench: starting Wine"
start_wine_session
work=$(mktemp -d)
trap 'stop_wine_session; rm -rf "$work"' EXIT
# A Windows program left open (Wine's notepad on the virtual display) keeps the
# wineserver and Wine's own services up between runs, so each run pays only its own
# process start; the session's end stops it with the wineserver.
scripts/wine-run.sh notepad >/dev/null 2>&1 &
sleep 3
wine_cli() { scripts/wine-run.sh "$windows" "$@"; }

runs=3 start=$(seconds wine_cli --help)
echo
echo "== GIF builds of 100 frames, 255 colours: seconds per build (best of 5; ffmpeg 1 run)"
echo "   Wine: the $arch build; its process start, $(printf '%.2f' "$start") s, is included"
echo "   load average at the start: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
printf '  %-9s %-7s %8s %8s %12s %8s %14s %10s\n' frames palette native Wine Wine/native ffmpeg ffmpeg/native "same bytes"
for set in video video720; do
  dir=$frames/$set
  size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=s=x:p=0 "$dir/f001.bmp")
  for palette in local shared; do
    if [ "$palette" = local ]; then
      flags=()
      lavfi="split[a][b];[a]palettegen=stats_mode=single:max_colors=255:reserve_transparent=0[p];[b][p]paletteuse=new=1"
    else
      flags=(--shared-palette)
      lavfi="split[a][b];[a]palettegen=max_colors=255:reserve_transparent=0[p];[b][p]paletteuse"
    fi
    runs=5 ours=$(seconds "$native" gif "${flags[@]}" --interval 100 -o "$work/native.gif" "$dir"/f*.bmp)
    runs=5 wine=$(seconds wine_cli gif "${flags[@]}" --interval 100 -o "$work/wine.gif" "$dir"/f*.bmp)
    runs=1 peer=$(seconds ffmpeg -v error -y -framerate 10 -i "$dir/f%03d.bmp" -lavfi "$lavfi" "$work/ffmpeg.gif")
    same=no
    cmp -s "$work/native.gif" "$work/wine.gif" && same=yes
    printf '  %-9s %-7s %7.2fs %7.2fs %11.2fx %7.2fs %13.1fx %10s\n' "$size" "$palette" "$ours" "$wine" \
      "$(echo "$wine $ours" | awk '{print $1 / $2}')" "$peer" "$(echo "$peer $ours" | awk '{print $1 / $2}')" "$same"
  done
done
