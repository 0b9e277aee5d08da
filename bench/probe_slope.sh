#!/usr/bin/env bash
# The cost of a probe per file as the list grows: velmora-cli --probe and
# --dry-run over the first 250, 500, 1000 and 2000 files of one folder,
# each printed as CPU time (user + system) and minor page faults per file.
# Both should stay flat: a cost per file that grows or jumps with the
# length of the list means memory is handed back to the system after each
# file and faulted in again for the next (as it was while the heap margin
# of engine/heap_margin.cpp was compiled out).
#
#   bench/probe_slope.sh
#
# Two lists, each of copies of one-second clips: "h264", all of 1080p H.264
# with AAC in MP4 (whose decoder's frames glibc would map and unmap for
# every file), and "mix", four shapes taken in turn so that every list has
# the same mix: that clip, 1080p HEVC with AAC in Matroska, 1080p MPEG-2
# with MP2 in a transport stream, and 720p H.264 with seven AAC tracks in
# Matroska. They are made once and cached in bench/cache/probe-slope/
# (about 3.5 GB).
# Environment: ROUNDS (default 3; the median is printed), COUNTS ("250 500
# 1000 2000"), SETS ("h264 mix"), VELMORA_CLI (build/default/bin/velmora-cli).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
cli=${VELMORA_CLI:-$root/build/default/bin/velmora-cli}
dir=$here/cache/probe-slope
rounds=${ROUNDS:-3}
read -r -a counts <<<"${COUNTS:-250 500 1000 2000}"

for tool in ffmpeg /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing: $tool (run scripts/deps)" >&2; exit 1; }
done
[ -x "$cli" ] || { echo "missing: $cli (build first: cmake --build --preset default)" >&2; exit 1; }

# ---- media -------------------------------------------------------------------

clip_args() {
  local hd="-f lavfi -i testsrc2=size=1920x1080:rate=25:duration=1"
  local sound="-f lavfi -i sine=duration=1"
  case $1 in
    h264.mp4) echo "$hd $sound -c:v libx264 -preset ultrafast -crf 30 -c:a aac" ;;
    hevc.mkv) echo "$hd $sound -c:v libx265 -preset ultrafast -crf 30 -x265-params log-level=error -c:a aac" ;;
    mpeg2.ts) echo "$hd $sound -c:v mpeg2video -q:v 8 -c:a mp2" ;;
    tracks.mkv)
      echo "-f lavfi -i testsrc2=size=1280x720:rate=25:duration=1 $sound" \
        "-f lavfi -i sine=frequency=300:duration=1 -f lavfi -i sine=frequency=500:duration=1" \
        "-map 0 -map 1 -map 2 -map 3 -map 1 -map 2 -map 3 -map 1" \
        "-c:v libx264 -preset ultrafast -crf 30 -c:a aac" ;;
  esac
}

# make_files SET: the copies of SET in $dir/SET/, as many as the longest list.
make_files() {
  local set=$1 largest=${counts[-1]}
  local -a kinds=(h264.mp4)
  [ "$set" = mix ] && kinds=(h264.mp4 hevc.mkv mpeg2.ts tracks.mkv)
  mkdir -p "$dir/clips" "$dir/$set"
  local kind
  for kind in "${kinds[@]}"; do
    if [ ! -s "$dir/clips/$kind" ]; then
      echo "making $dir/clips/$kind" >&2
      # shellcheck disable=SC2046 # the options are words
      ffmpeg -nostdin -v error -y $(clip_args "$kind") -pix_fmt yuv420p -shortest \
        "$dir/clips/tmp.$kind"
      mv "$dir/clips/tmp.$kind" "$dir/clips/$kind"
    fi
  done
  local i name
  for ((i = 0; i < largest; i++)); do
    kind=${kinds[i % ${#kinds[@]}]}
    name=$(printf '%s/%s/file-%05d.%s' "$dir" "$set" "$i" "${kind#*.}")
    [ -s "$name" ] || cp "$dir/clips/$kind" "$name"
  done
}

# ---- measuring ---------------------------------------------------------------

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# run_once MODE N: prints "CPU-SECONDS MINOR-FAULTS" of one run over the
# first N files.
run_once() {
  local mode=$1 n=$2 times
  local -a files=("${all_files[@]:0:n}") option
  if [ "$mode" = probe ]; then option=(--probe); else option=(--dry-run -o "$dir/none"); fi
  times=$(mktemp)
  /usr/bin/time -o "$times" -f '%U %S %R' "$cli" "${option[@]}" "${files[@]}" >/dev/null 2>&1 || true
  # The last line: time puts a line about the exit status before its own.
  tail -1 "$times" | awk '{ print $1 + $2, $3 }'
  rm -f "$times"
}

mkdir -p "$dir/none"  # the dry run's output folder, which stays empty
printf '%s rounds (medians), %s\n' "$rounds" "$cli"
verdict=0
for set in ${SETS:-h264 mix}; do
  make_files "$set"
  mapfile -t all_files < <(find "$dir/$set" -maxdepth 1 -name 'file-*' | sort)
  printf '\n%-13s %6s | %8s %9s | %9s %11s\n' "$set" files cpu_s ms/file minflt faults/file
  for mode in probe dry-run; do
    lowest='' highest=''
    for n in "${counts[@]}"; do
      cpu=() faults=()
      for ((r = 0; r < rounds; r++)); do
        read -r c f < <(run_once "$mode" "$n")
        cpu+=("$c") faults+=("$f")
      done
      c=$(printf '%s\n' "${cpu[@]}" | median)
      f=$(printf '%s\n' "${faults[@]}" | median)
      per=$(awk -v c="$c" -v n="$n" 'BEGIN { printf "%.2f", c * 1000 / n }')
      printf '%-13s %6d | %8.2f %9s | %9.0f %11.1f\n' "$set $mode" "$n" "$c" "$per" "$f" \
        "$(awk -v f="$f" -v n="$n" 'BEGIN { print f / n }')"
      lowest=$(awk -v a="${lowest:-$per}" -v b="$per" 'BEGIN { print (b < a) ? b : a }')
      highest=$(awk -v a="${highest:-$per}" -v b="$per" 'BEGIN { print (b > a) ? b : a }')
    done
    spread=$(awk -v l="$lowest" -v h="$highest" 'BEGIN { printf "%.2f", h / l }')
    if awk -v s="$spread" 'BEGIN { exit !(s <= 1.20) }'; then
      printf '%s %s: CPU per file flat (highest/lowest %s, goal <= 1.20)\n' "$set" "$mode" "$spread"
    else
      printf '%s %s: CPU per file NOT flat (highest/lowest %s, goal <= 1.20)\n' "$set" "$mode" "$spread"
      verdict=1
    fi
  done
done
exit $verdict
