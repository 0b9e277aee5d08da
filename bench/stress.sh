#!/usr/bin/env bash
# Stress run, not part of ctest: a job of 2000 small files and a job of one
# file of about 4 GB, each run by the engine alone (velmora_stress, which
# counts its open file descriptors before, during and after the job) and by
# velmora-cli (whose descriptors are sampled from outside), under
# /usr/bin/time -v. Checks that every input succeeds, that no descriptor is
# left open, that peak memory does not grow with the number of inputs, and
# that the large copy holds every video packet.
#
#   bench/stress.sh            both jobs
#   bench/stress.sh small      the 2000 small files only
#   bench/stress.sh big        the 4 GB file only
#
# Media are made once and cached in bench/cache/stress (about 4.1 GB); the
# outputs are deleted at the end. Environment: SMALL_COUNT (2000),
# BIG_BYTES (4200000000), BUILD (build/default).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${BUILD:-$root/build/default}
driver=$build/bin/velmora_stress
cli=$build/bin/velmora-cli
cache=$here/cache/stress
small_count=${SMALL_COUNT:-2000}
big_bytes=${BIG_BYTES:-4200000000}
section=${1:-all}

for tool in ffmpeg ffprobe /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing: $tool (run scripts/deps)" >&2; exit 1; }
done
for program in "$driver" "$cli"; do
  [ -x "$program" ] || { echo "missing: $program (build the default preset first)" >&2; exit 1; }
done
mkdir -p "$cache"
out=$(mktemp -d "$cache/out.XXXXXX")
trap 'rm -rf "$out"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# ---- running and measuring ---------------------------------------------------

# Runs a command under /usr/bin/time -v and sets OUTPUT (its standard
# output), RSS_MB and SECONDS_TAKEN. With --sample-fds first, also counts the
# command's open descriptors every 20 ms and sets FDS_MOST.
measure() {
  local sample=0
  if [ "$1" = --sample-fds ]; then sample=1; shift; fi
  local log samples
  log=$(mktemp)
  samples=$(mktemp)
  /usr/bin/time -v -o "$log" "$@" >"$log.out" &
  local timer=$!
  if ((sample)); then
    local pid=""
    while kill -0 "$timer" 2>/dev/null; do
      [ -n "$pid" ] || pid=$(pgrep -P "$timer" | head -1 || true)
      [ -n "$pid" ] && { ls "/proc/$pid/fd" 2>/dev/null | wc -l >>"$samples"; }
      sleep 0.02
    done
  fi
  local status=0
  wait "$timer" || status=$?
  OUTPUT=$(cat "$log.out")
  RSS_MB=$(awk -F': ' '/Maximum resident set size/ { printf "%.1f", $2 / 1024 }' "$log")
  SECONDS_TAKEN=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0;
    for (i = 1; i <= n; i++) s = s * 60 + t[i]; print s }' "$log")
  FDS_MOST=$(sort -n "$samples" | tail -1)
  rm -f "$log" "$log.out" "$samples"
  return $status
}

# The driver's summary line, split into DRIVER_* values.
read_driver_line() {
  read -r DRIVER_INPUTS DRIVER_FAILED DRIVER_BEFORE DRIVER_MOST DRIVER_AFTER < <(
    sed -n 's/^inputs \([0-9]*\), failed \([0-9]*\), descriptors before \([0-9]*\), most during \([0-9]*\), after \([0-9]*\)$/\1 \2 \3 \4 \5/p' <<<"$OUTPUT")
}

video_packets() {
  ffprobe -v error -select_streams v:0 -count_packets \
    -show_entries stream=nb_read_packets -of csv=p=0 "$1"
}

# ---- 2000 small files ------------------------------------------------------------

make_small() {
  local dir=$cache/small clip=$cache/small-clip.mp4
  if [ ! -s "$clip" ]; then
    ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=160x120:rate=25:duration=1 \
      -f lavfi -i sine=duration=1 -c:v libx264 -preset ultrafast -pix_fmt yuv420p \
      -c:a aac -shortest "$clip.tmp.mp4"
    mv "$clip.tmp.mp4" "$clip"
  fi
  if [ "$(find "$dir" -name '*.mp4' 2>/dev/null | wc -l)" -ne "$small_count" ]; then
    echo "making $small_count small files in $dir" >&2
    rm -rf "$dir"
    mkdir -p "$dir"
    local i
    for ((i = 0; i < small_count; i++)); do cp "$clip" "$(printf '%s/clip-%05d.mp4' "$dir" "$i")"; done
  fi
}

stress_small() {
  make_small
  local files=("$cache"/small/clip-*.mp4)
  local tenth=$((${#files[@]} / 10))
  echo "== a job of ${#files[@]} small files =="

  mkdir "$out/tenth"
  measure "$driver" "$out/tenth" "${files[@]:0:$tenth}" || fail "engine job of $tenth files"
  local tenth_rss=$RSS_MB
  rm -rf "$out/tenth"

  mkdir "$out/engine"
  measure "$driver" "$out/engine" "${files[@]}" || fail "engine job of ${#files[@]} files"
  read_driver_line
  printf 'engine:      %5d inputs, %d failed, %6.1f s, peak %6.1f MiB (%d inputs: %.1f MiB), descriptors %d before, %d at most, %d after\n' \
    "$DRIVER_INPUTS" "$DRIVER_FAILED" "$SECONDS_TAKEN" "$RSS_MB" "$tenth" "$tenth_rss" \
    "$DRIVER_BEFORE" "$DRIVER_MOST" "$DRIVER_AFTER"
  [ "$(find "$out/engine" -name '*.mp4' | wc -l)" -eq "${#files[@]}" ] || fail "engine outputs missing"
  # Ten times the inputs may not cost more than a little more memory.
  awk -v a="$RSS_MB" -v b="$tenth_rss" 'BEGIN { exit !(a > b + 16) }' &&
    fail "peak memory grows with the number of inputs: $tenth_rss -> $RSS_MB MiB"
  rm -rf "$out/engine"

  mkdir "$out/cli"
  measure --sample-fds "$cli" -q -o "$out/cli" "${files[@]}" || fail "velmora-cli job of ${#files[@]} files"
  printf 'velmora-cli: %5d inputs, %6.1f s, peak %6.1f MiB, descriptors at most %s\n' \
    "${#files[@]}" "$SECONDS_TAKEN" "$RSS_MB" "$FDS_MOST"
  [ "$(find "$out/cli" -name '*.mp4' | wc -l)" -eq "${#files[@]}" ] || fail "velmora-cli outputs missing"
  [ "${FDS_MOST:-0}" -le 16 ] || fail "velmora-cli had $FDS_MOST descriptors open"
  rm -rf "$out/cli"
}

# ---- one 4 GB file ----------------------------------------------------------------

make_big() {
  local clip=$cache/big-clip.mp4 big=$cache/big.mp4
  if [ ! -s "$clip" ]; then
    echo "making $clip" >&2
    ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=1280x720:rate=30:duration=20 \
      -f lavfi -i sine=frequency=440:sample_rate=48000:duration=20 \
      -c:v libx264 -preset ultrafast -crf 4 -g 60 -pix_fmt yuv420p -c:a aac -shortest \
      "$clip.tmp.mp4"
    mv "$clip.tmp.mp4" "$clip"
  fi
  if [ ! -s "$big" ]; then
    local size loops
    size=$(stat -c %s "$clip")
    loops=$(((big_bytes + size - 1) / size))
    echo "making $big ($loops x $size bytes)" >&2
    ffmpeg -nostdin -v error -y -stream_loop $((loops - 1)) -i "$clip" -c copy "$big.tmp.mp4"
    mv "$big.tmp.mp4" "$big"
  fi
}

stress_big() {
  make_big
  local big=$cache/big.mp4
  local bytes packets
  bytes=$(stat -c %s "$big")
  packets=$(video_packets "$big")
  echo "== a job of one file of $bytes bytes ($packets video packets) =="

  measure "$driver" "$out" "$big" || fail "engine job of the large file"
  read_driver_line
  printf 'engine:      %6.1f s, peak %6.1f MiB, descriptors %d before, %d at most, %d after\n' \
    "$SECONDS_TAKEN" "$RSS_MB" "$DRIVER_BEFORE" "$DRIVER_MOST" "$DRIVER_AFTER"
  [ "$(video_packets "$out/big.mp4")" = "$packets" ] || fail "the copy lacks video packets"
  rm -f "$out/big.mp4"

  measure --sample-fds "$cli" -q -o "$out" "$big" || fail "velmora-cli job of the large file"
  printf 'velmora-cli: %6.1f s, peak %6.1f MiB, descriptors at most %s\n' \
    "$SECONDS_TAKEN" "$RSS_MB" "$FDS_MOST"
  [ "$(video_packets "$out/big.mp4")" = "$packets" ] || fail "the copy of velmora-cli lacks video packets"
  rm -f "$out/big.mp4"
}

case $section in
  small) stress_small ;;
  big) stress_big ;;
  all) stress_small; stress_big ;;
  *) echo "usage: $0 [small|big|all]" >&2; exit 2 ;;
esac
if ((failures > 0)); then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all checks passed"
