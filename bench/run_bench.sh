#!/usr/bin/env bash
# Benchmarks the engine against its peers on two frame sets generated with ffmpeg's
# test sources, all in one run on this machine:
#   video:  100 frames 640x360 of moving video-like content (testsrc2)
#   detail: 100 frames 800x600 of fine detail (a zooming Mandelbrot set)
# It prints per-stage throughput (engine_bench, with giflib and libjpeg beside our
# LZW and JPEG writer), whole-run times of frimbola-cli gif against ffmpeg
# (palettegen stats_mode=single + paletteuse new=1) and ImageMagick's convert, the
# per-frame time of cjpeg without its process start, and the tool's peak memory.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
frames=${FRIMBOLA_BENCH_FRAMES:-/tmp/frimbola-bench-frames}
source bench/bench_lib.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "bench: building (native, Release)"
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/bench --target engine_bench frimbola-cli >/dev/null
cli=build/bench/tools/frimbola-cli

make_set video testsrc2=size=640x360:rate=25
make_set detail mandelbrot=size=800x600:rate=25

echo
echo "== engine stages (best of several runs; peers in the same process on the same frames)"
build/bench/bench/engine_bench "video:$frames/video" "detail:$frames/detail"

echo
echo "== whole GIF builds of 100 frames, 255 colours per frame"
printf '  %-8s %10s %10s %10s %12s %12s\n' set ours ffmpeg convert ffmpeg/ours convert/ours
for set in video detail; do
  dir=$frames/$set
  runs=3 ours=$(seconds "$cli" gif --colors 4 --interval 100 -o "$work/ours.gif" "$dir"/f*.bmp)
  runs=1 ffmpeg=$(seconds ffmpeg -v error -y -framerate 10 -i "$dir/f%03d.bmp" -lavfi \
    "split[a][b];[a]palettegen=stats_mode=single:max_colors=255:reserve_transparent=0[p];[b][p]paletteuse=new=1" \
    "$work/ffmpeg.gif")
  runs=1 convert=$(seconds convert -delay 10 "$dir"/f*.bmp -colors 255 -loop 0 "$work/convert.gif")
  printf '  %-8s %9.2fs %9.2fs %9.2fs %11.1fx %11.1fx\n' "$set" "$ours" "$ffmpeg" "$convert" \
    "$(echo "$ffmpeg $ours" | awk '{print $1 / $2}')" "$(echo "$convert $ours" | awk '{print $1 / $2}')"
  ls -l "$work/ours.gif" "$work/ffmpeg.gif" "$work/convert.gif" | awk '{printf "    %-40s %10d bytes\n", $NF, $5}'
done

echo
echo "== cjpeg per frame, process start excluded (20 frames, quality 80, fast DCT, 4:2:0)"
for set in video detail; do
  dir=$frames/$set
  mkdir -p "$work/ppm-$set"
  for i in $(seq -w 1 20); do ffmpeg -loglevel error -y -i "$dir/f0$i.bmp" "$work/ppm-$set/$i.ppm"; done
  ffmpeg -loglevel error -y -f lavfi -i color=black:size=16x16 -frames:v 1 "$work/tiny.ppm"
  run_cjpeg() { for f in "$@"; do cjpeg -quality 80 -dct fast -sample 2x2,1x1,1x1 "$f" >/dev/null; done; }
  runs=5 full=$(seconds run_cjpeg "$work/ppm-$set"/*.ppm)
  tiny=()
  for _ in $(seq 20); do tiny+=("$work/tiny.ppm"); done
  runs=5 start=$(seconds run_cjpeg "${tiny[@]}")
  echo "$set $full $start" | awk '{printf "  %-8s %.2f ms/frame (%.2f ms with process start)\n", $1, ($2 - $3) * 50, $2 * 50}'
done

echo
echo "== peak memory of a 100-frame build (frimbola-cli gif, 255 colours per frame)"
for set in video detail; do
  dir=$frames/$set
  peak_kib=$(/usr/bin/time -f '%M' "$cli" gif -o "$work/mem.gif" "$dir"/f*.bmp 2>&1 >/dev/null | tail -n 1)
  raw=$(ls "$dir"/f*.bmp | wc -l)
  size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0 "$dir/f001.bmp")
  echo "$set $peak_kib $raw $size" | awk -F'[ ,]' '{
    raw = $3 * $4 * $5 * 3 / 1048576; peak = $2 / 1024; limit = 1.5 * raw + 32;
    printf "  %-8s peak %.1f MiB; frames %.1f MiB raw; limit 1.5 x raw + 32 = %.1f MiB (%s)\n",
      $1, peak, raw, limit, peak <= limit ? "within" : "OVER" }'
done
