#!/usr/bin/env bash
# GIFs of frimbola-cli played in headless Chromium: one frame, many frames, a colour
# table per frame and one global table, 16 and 256 colours, and delays from capture
# times (one of them 10 ms), each checked by check_gifs.py against giflib.
# Usage: browser_test.sh FRIMBOLA-CLI
# Without chromium it skips (status 77), except under CI, where set-up installs it
# and a missing browser is a fault of the set-up, not a reason to skip.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cli=$1
if ! command -v "${CHROMIUM:-chromium}" >/dev/null; then
  if [ -n "${CI:-}" ]; then
    echo "browser: chromium is not installed (scripts/setup.sh installs it)" >&2
    exit 1
  fi
  echo "browser: skipped: chromium is not installed (scripts/setup.sh installs it)"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/one" "$work/many"
python3 "$here/../cli/make_frames.py" "$work/one" 1 96 64
python3 "$here/../cli/make_frames.py" "$work/many" 24 96 64
many=("$work"/many/frame*.bmp)

"$cli" gif -o "$work/one-frame.gif" "$work/one/frame000.bmp" >/dev/null
"$cli" gif --interval 100 -o "$work/many-local-tables.gif" "${many[@]}" >/dev/null
"$cli" gif --interval 100 --shared-palette -o "$work/many-global-table.gif" "${many[@]}" >/dev/null
"$cli" gif --interval 200 --colors 0 -o "$work/16-colours-local.gif" "${many[@]}" >/dev/null
"$cli" gif --interval 200 --colors 0 --shared-palette -o "$work/16-colours-global.gif" "${many[@]}" >/dev/null
"$cli" gif --interval 10 --delay 50 --times 0,120,380,390,1000 --follow-times \
  -o "$work/capture-times.gif" "${many[@]:0:5}" >/dev/null

python3 "$here/check_gifs.py" "$work"/*.gif
