# Sourced by the benchmark scripts: the frame sets and the timing they share.
# Expects $frames, the folder of the frame sets.

make_set() {  # make_set NAME SOURCE: 100 frames of an ffmpeg test source as BMP files, made once
  local dir=$frames/$1
  [ -f "$dir/f100.bmp" ] && return
  echo "bench: generating $1 frames in $dir"
  rm -rf "$dir"
  mkdir -p "$dir"
  ffmpeg -loglevel error -y -f lavfi -i "$2" -frames:v 100 -start_number 1 -pix_fmt bgr24 "$dir/f%03d.bmp"
}

seconds() {  # seconds COMMAND...: wall time of one run, best of $runs
  local best=
  for _ in $(seq "$runs"); do
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    best=$(echo "$start $end ${best:-1e9}" | awk '{t = $2 - $1; print (t < $3 ? t : $3)}')
  done
  echo "$best"
}
