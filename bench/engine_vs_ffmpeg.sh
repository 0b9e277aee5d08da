#!/usr/bin/env bash
# Times velmora-cli against the ffmpeg program doing the same stream copy
# (video only, no re-encoding) and against a plain cp of the same file.
# velmora-cli flushes each output to disk (fsync) before it gives it its
# final name; ffmpeg and cp leave theirs in the page cache. So the large
# copies are also timed against ffmpeg and cp followed by an fsync of the
# output and its folder (sync FILE DIR), against velmora-cli under
# eatmydata (which turns its fsync into nothing) when that is installed,
# and against mkvmerge for the Matroska input.
#
#   bench/engine_vs_ffmpeg.sh            all sections
#   bench/engine_vs_ffmpeg.sh big        the ~1 GB copies only: H.264 in MP4, MKV
#                                        and TS, HEVC in TS, MPEG-2 in TS
#   bench/engine_vs_ffmpeg.sh small      the 500 small files only
#
# Every copy is also checked: the video packets velmora-cli wrote must have
# the payloads of those ffmpeg wrote (MD5 over each stream's packets); the
# script ends with status 1 when one does not.
# Media are made once and cached in bench/cache/ (about 3 GB). Runs of the
# tools alternate round by round, so a change in the host's speed during the
# script hits every tool alike; every output is deleted before every run.
# Environment: ROUNDS (default 7), SMALL_ROUNDS (3), SMALL_COUNT (500),
# TARGET_BYTES (1000000000), VELMORA_CLI (build/default/bin/velmora-cli),
# KINDS (the large inputs to time: "mp4 mkv ts ts-hevc ts-mpeg2"),
# VELMORA_JOBS (unset: velmora-cli's default; N: its copies run with -j N).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
cli=${VELMORA_CLI:-$root/build/default/bin/velmora-cli}
cache=$here/cache
rounds=${ROUNDS:-7}
small_rounds=${SMALL_ROUNDS:-3}
small_count=${SMALL_COUNT:-500}
jobs_option=${VELMORA_JOBS:+-j $VELMORA_JOBS}
target_bytes=${TARGET_BYTES:-1000000000}
section=${1:-all}
cpu_log=$(mktemp)
trap 'rm -f "$cpu_log"' EXIT
hash_failures=0

for tool in hyperfine ffmpeg ffprobe jq /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing: $tool (run scripts/deps)" >&2; exit 1; }
done
[ -x "$cli" ] || { echo "missing: $cli (build first: cmake --build --preset default)" >&2; exit 1; }
mkdir -p "$cache"

# ---- media -----------------------------------------------------------------

# A short, busy H.264 + AAC clip at a high bit rate, looped with -c copy into
# one large MP4, then remuxed into MKV and TS. Encoding only the short clip
# keeps making the media fast.
make_big() {
  local clip=$cache/clip.mp4 big=$cache/big.mp4
  if [ ! -s "$clip" ]; then
    echo "making $clip" >&2
    ffmpeg -nostdin -v error -y \
      -f lavfi -i testsrc2=size=1280x720:rate=30:duration=20 \
      -f lavfi -i sine=frequency=440:sample_rate=48000:duration=20 \
      -c:v libx264 -preset ultrafast -crf 6 -g 60 -pix_fmt yuv420p \
      -c:a aac -b:a 128k -shortest "$clip.tmp.mp4"
    mv "$clip.tmp.mp4" "$clip"
  fi
  loop_to_size "$clip" "$big"
  local ext
  for ext in mkv ts; do
    if [ ! -s "$cache/big.$ext" ]; then
      echo "making $cache/big.$ext" >&2
      ffmpeg -nostdin -v error -y -i "$big" -map 0 -c copy "$cache/big.tmp.$ext"
      mv "$cache/big.tmp.$ext" "$cache/big.$ext"
    fi
  done
  make_big_ts hevc "-c:v libx265 -preset ultrafast -crf 8 -x265-params log-level=error:keyint=60"
  make_big_ts mpeg2 "-c:v mpeg2video -q:v 2 -g 15 -bf 2"
}

# make_big_ts NAME ENCODER-OPTIONS: a short clip with that video and MP2
# sound, looped with -c copy into one large transport stream big-NAME.ts.
make_big_ts() {
  local name=$1 codec=$2
  local clip=$cache/clip-$name.ts big=$cache/big-$name.ts
  if [ ! -s "$clip" ]; then
    echo "making $clip" >&2
    # shellcheck disable=SC2086 # the options are words
    ffmpeg -nostdin -v error -y \
      -f lavfi -i testsrc2=size=1280x720:rate=30:duration=20 \
      -f lavfi -i sine=frequency=440:sample_rate=48000:duration=20 \
      $codec -pix_fmt yuv420p -c:a mp2 -shortest "$clip.tmp.ts"
    mv "$clip.tmp.ts" "$clip"
  fi
  loop_to_size "$clip" "$big"
}

# loop_to_size CLIP BIG: BIG is CLIP played over and over, every stream
# copied, until it holds about TARGET_BYTES. Made once.
loop_to_size() {
  local clip=$1 big=$2
  [ -s "$big" ] && return
  local size loops tmp=${big%.*}.tmp.${big##*.}
  size=$(stat -c %s "$clip")
  loops=$(( (target_bytes + size - 1) / size ))
  echo "making $big ($loops x $size bytes)" >&2
  ffmpeg -nostdin -v error -y -stream_loop $((loops - 1)) -i "$clip" -map 0 -c copy "$tmp"
  mv "$tmp" "$big"
}

# same_video A B: prints "same" when the video packets of the two files carry the same
# bytes, stream by stream (times aside: velmora-cli starts at zero).
video_hashes() { ffmpeg -nostdin -v error -i "$1" -map 0:v -c copy -f streamhash -hash md5 - ; }
same_video() {
  local a b
  a=$(video_hashes "$1") b=$(video_hashes "$2")
  if [ -n "$a" ] && [ "$a" = "$b" ]; then
    echo same
  else
    echo "DIFFERENT ($1: $a; $2: $b)"
  fi
}

make_small() {
  local dir=$cache/small
  local clip=$cache/small-clip.mp4
  if [ ! -s "$clip" ]; then
    ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=2 \
      -f lavfi -i sine=duration=2 -c:v libx264 -preset ultrafast -pix_fmt yuv420p \
      -c:a aac -shortest "$clip"
  fi
  if [ "$(find "$dir" -name '*.mp4' 2>/dev/null | wc -l)" -ne "$small_count" ]; then
    echo "making $small_count small files in $dir" >&2
    rm -rf "$dir"
    mkdir -p "$dir"
    local i
    for ((i = 0; i < small_count; i++)); do
      cp "$clip" "$(printf '%s/small-%04d.mp4' "$dir" "$i")"
    done
  fi
}

# ---- measuring ---------------------------------------------------------------

# One timed run: time_once PREPARE COMMAND... prints the wall time in seconds;
# the CPU time (user + system) of the run is appended to $cpu_log.
time_once() {
  local prepare=$1
  shift
  local json command
  json=$(mktemp)
  # hyperfine -N splits the command as a POSIX shell would: quote each word.
  command=$(printf '%q ' "$@")
  hyperfine -N --style none --runs 1 --prepare "$prepare" --export-json "$json" "$command" >/dev/null
  jq -r '.results[0].times[0]' "$json"
  jq -r '.results[0].user + .results[0].system' "$json" >>"$cpu_log"
  rm -f "$json"
}

# Peak resident memory in KiB of one run: peak_rss COMMAND...
peak_rss() {
  /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ { print $2 }'
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
fastest() { sort -g | head -1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

# ---- the ~1 GB copies ---------------------------------------------------------

# The fsync of a finished output and of its folder: bash -c "$synced" OUT
# COMMAND... runs COMMAND, then flushes OUT as velmora-cli flushes its own.
# shellcheck disable=SC2016 # expanded by that bash
synced='"$@" && sync "$0" "$(dirname "$0")"'

# One timed run of TOOL over $in (see bench_big for the variables).
time_tool() {
  local ff_copy=(ffmpeg -nostdin -v error -y -i "$in" -map 0:v -c copy "$ff_out")
  case $1 in
    vel) time_once "rm -f $vel_out" "$cli" -q -o "$out" "$in" ;;
    vel_eat) time_once "rm -f $vel_out" eatmydata "$cli" -q -o "$out" "$in" ;;
    ff) time_once "rm -f $ff_out" "${ff_copy[@]}" ;;
    ff_sync) time_once "rm -f $ff_out" bash -c "$synced" "$ff_out" "${ff_copy[@]}" ;;
    cp) time_once "rm -f $cp_out" cp "$in" "$cp_out" ;;
    cp_sync) time_once "rm -f $cp_out" bash -c "$synced" "$cp_out" cp "$in" "$cp_out" ;;
    mkvmerge) time_once "rm -f $mkv_out" mkvmerge -q -o "$mkv_out" --no-audio "$in" ;;
  esac
}

bench_big() {
  make_big
  local out=$cache/out
  mkdir -p "$out"
  printf '\n== one large file, %s rounds, warm cache ==\n' "$rounds"
  printf '%-8s %8s | %7s %7s %7s | %9s %9s | %8s %8s | %7s %7s | %6s %6s\n' \
    input MB cp_s vel_s ff_s vel/ff_med vel/ff_min vel/cp ff/cp vel_MB/s ff_MB/s velMiB ffMiB
  local kind
  for kind in ${KINDS:-mp4 mkv ts ts-hevc ts-mpeg2}; do
    local ext=${kind%%-*} in=$cache/big.$kind
    [ "$kind" = "$ext" ] || in=$cache/big-${kind#*-}.ts
    local bytes
    bytes=$(stat -c %s "$in")
    cat "$in" >/dev/null  # into the page cache
    local vel_out=$out/${in##*/} ff_out=$out/ff.$ext cp_out=$out/cp.$ext mkv_out=$out/mkvmerge.mkv
    local -a tools=(vel ff cp ff_sync cp_sync)
    command -v eatmydata >/dev/null && tools+=(vel_eat)
    [ "$ext" = mkv ] && command -v mkvmerge >/dev/null && tools+=(mkvmerge)
    local -A runs=() cpu=()
    local tool
    for tool in "${tools[@]}"; do cpu[$tool]=$(mktemp); done
    local r
    for ((r = 0; r < rounds; r++)); do
      # Each round starts with the next tool, so that no tool always
      # follows the same other one.
      local first=$((r % ${#tools[@]}))
      for tool in "${tools[@]:first}" "${tools[@]:0:first}"; do
        runs[$tool]+="$(cpu_log=${cpu[$tool]} time_tool "$tool") "
      done
    done
    local -a vel=() ff=() cpt=()
    read -r -a vel <<<"${runs[vel]}"
    read -r -a ff <<<"${runs[ff]}"
    read -r -a cpt <<<"${runs[cp]}"
    rm -f "$vel_out" "$ff_out"
    local vel_rss ff_rss
    vel_rss=$(peak_rss "$cli" -q -o "$out" "$in")
    ff_rss=$(peak_rss ffmpeg -nostdin -v error -y -i "$in" -map 0:v -c copy "$ff_out")
    local vel_size ff_size
    vel_size=$(stat -c %s "$vel_out")
    ff_size=$(stat -c %s "$ff_out")
    local same
    same=$(same_video "$vel_out" "$ff_out")
    [ "$same" = same ] || hash_failures=$((hash_failures + 1))
    rm -f "$vel_out" "$ff_out" "$cp_out" "$mkv_out"

    local vm fm cm vmin fmin
    vm=$(printf '%s\n' "${vel[@]}" | median)
    fm=$(printf '%s\n' "${ff[@]}" | median)
    cm=$(printf '%s\n' "${cpt[@]}" | median)
    vmin=$(printf '%s\n' "${vel[@]}" | fastest)
    fmin=$(printf '%s\n' "${ff[@]}" | fastest)
    printf '%-8s %8.0f | %7.3f %7.3f %7.3f | %9s %9s | %8s %8s | %7.0f %7.0f | %6.1f %6.1f\n' \
      "$kind" "$(ratio "$bytes" 1000000)" "$cm" "$vm" "$fm" \
      "$(ratio "$vm" "$fm")" "$(ratio "$vmin" "$fmin")" "$(ratio "$vm" "$cm")" "$(ratio "$fm" "$cm")" \
      "$(awk -v b="$bytes" -v t="$vm" 'BEGIN { print b / 1e6 / t }')" \
      "$(awk -v b="$bytes" -v t="$fm" 'BEGIN { print b / 1e6 / t }')" \
      "$(ratio "$vel_rss" 1024)" "$(ratio "$ff_rss" 1024)"
    printf '     runs  vel: %s\n     runs  ff:  %s\n     runs  cp:  %s\n' "${vel[*]}" "${ff[*]}" "${cpt[*]}"
    printf '     output bytes  velmora %s  ffmpeg %s   video packets: %s\n' "$vel_size" "$ff_size" "$same"
    # The anchors that flush as velmora-cli does, or that it does not flush
    # against: wall time medians and velmora-cli's time over each.
    local anchors='' tm
    for tool in ff_sync cp_sync vel_eat mkvmerge; do
      [ -n "${runs[$tool]:-}" ] || continue
      tm=$(tr ' ' '\n' <<<"${runs[$tool]}" | grep . | median)
      anchors+=$(printf '  %s %.3f (vel/%s %s)' "$tool" "$tm" "$tool" "$(ratio "$vm" "$tm")")
    done
    printf '     wall s (median)%s\n' "$anchors"
    # CPU time is less disturbed than wall time when the host is busy.
    local -A cpu_med=()
    for tool in "${tools[@]}"; do cpu_med[$tool]=$(median <"${cpu[$tool]}"); done
    printf '     cpu s (user+sys, median)  cp %.3f  velmora %.3f  ffmpeg %.3f  vel/ff %s  vel/cp %s\n' \
      "${cpu_med[cp]}" "${cpu_med[vel]}" "${cpu_med[ff]}" "$(ratio "${cpu_med[vel]}" "${cpu_med[ff]}")" "$(ratio "${cpu_med[vel]}" "${cpu_med[cp]}")"
    anchors=''
    for tool in ff_sync cp_sync vel_eat mkvmerge; do
      [ -n "${cpu_med[$tool]:-}" ] || continue
      anchors+=$(printf '  %s %.3f' "$tool" "${cpu_med[$tool]}")
    done
    printf '     cpu s (user+sys, median)%s\n' "$anchors"
    for tool in "${tools[@]}"; do rm -f "${cpu[$tool]}"; done
  done
  echo "goals: vel/ff <= 0.85 on mp4, <= 0.5 on mkv, <= 0.75 on ts; vel/cp <= 2.5 on mp4; velMiB < ffMiB"
}

# ---- many small files ------------------------------------------------------------

bench_small() {
  make_small
  local dir=$cache/small out=$cache/small-out
  printf '\n== %s small files, %s rounds ==\n' "$small_count" "$small_rounds"
  local probe_loop="for f in $dir/*.mp4; do ffprobe -v error -show_format -show_streams \"\$f\" >/dev/null; done"
  local job_loop="for f in $dir/*.mp4; do ffmpeg -nostdin -v error -y -i \"\$f\" -map 0:v -c copy $out/\${f##*/}; done"
  local fresh="bash -c 'rm -rf $out && mkdir -p $out'"
  local -a vp=() fp=() vj=() fj=()
  local r
  for ((r = 0; r < small_rounds; r++)); do
    vp+=("$(time_once true bash -c "\"$cli\" --probe $dir/*.mp4 >/dev/null")")
    fp+=("$(time_once true bash -c "$probe_loop")")
    vj+=("$(time_once "$fresh" bash -c "\"$cli\" $jobs_option -q -o $out $dir/*.mp4 >/dev/null")")
    fj+=("$(time_once "$fresh" bash -c "$job_loop")")
  done
  # Peak memory of the whole velmora-cli job against that of the largest
  # ffmpeg of the loop, and the copies of both compared (the files are
  # copies of one clip: the first, the middle and the last stand for all).
  rm -rf "$out" && mkdir -p "$out/vel" "$out/ff"
  local vel_rss ff_rss
  # shellcheck disable=SC2086 # the option is words
  vel_rss=$(peak_rss "$cli" $jobs_option -q -o "$out/vel" "$dir"/*.mp4)
  ff_rss=$(peak_rss bash -c "${job_loop//"$out/"/"$out/ff/"}")
  local -a names=("$dir"/*.mp4)
  local same=same name
  for name in "${names[0]}" "${names[${#names[@]} / 2]}" "${names[${#names[@]} - 1]}"; do
    name=${name##*/}
    local one
    one=$(same_video "$out/vel/$name" "$out/ff/$name")
    [ "$one" = same ] || same=$one
  done
  [ "$same" = same ] || hash_failures=$((hash_failures + 1))
  rm -rf "$out"
  local vpm fpm vjm fjm
  vpm=$(printf '%s\n' "${vp[@]}" | median)
  fpm=$(printf '%s\n' "${fp[@]}" | median)
  vjm=$(printf '%s\n' "${vj[@]}" | median)
  fjm=$(printf '%s\n' "${fj[@]}" | median)
  local vpmin fpmin vjmin fjmin
  vpmin=$(printf '%s\n' "${vp[@]}" | fastest)
  fpmin=$(printf '%s\n' "${fp[@]}" | fastest)
  vjmin=$(printf '%s\n' "${vj[@]}" | fastest)
  fjmin=$(printf '%s\n' "${fj[@]}" | fastest)
  printf 'probe: velmora-cli --probe %7.3f s (%.2f ms/file)   ffprobe loop %7.3f s (%.1f ms/file)   ratio %s (goal <= 0.05)\n' \
    "$vpm" "$(awk -v t="$vpm" -v n="$small_count" 'BEGIN { print t * 1000 / n }')" \
    "$fpm" "$(awk -v t="$fpm" -v n="$small_count" 'BEGIN { print t * 1000 / n }')" "$(ratio "$vpm" "$fpm")"
  printf 'job:   velmora-cli         %7.3f s (%.2f ms/file)   ffmpeg loop  %7.3f s (%.1f ms/file)   ratio %s (goal <= 0.10)\n' \
    "$vjm" "$(awk -v t="$vjm" -v n="$small_count" 'BEGIN { print t * 1000 / n }')" \
    "$fjm" "$(awk -v t="$fjm" -v n="$small_count" 'BEGIN { print t * 1000 / n }')" "$(ratio "$vjm" "$fjm")"
  printf 'fastest runs: probe ratio %s, job ratio %s\n' "$(ratio "$vpmin" "$fpmin")" "$(ratio "$vjmin" "$fjmin")"
  printf 'peak memory: velmora-cli job %.1f MiB, largest ffmpeg of the loop %.1f MiB; video packets: %s\n' \
    "$(ratio "$vel_rss" 1024)" "$(ratio "$ff_rss" 1024)" "$same"
  printf '     runs  vel probe: %s\n     runs  ffprobe:   %s\n     runs  vel job:   %s\n     runs  ff job:    %s\n' \
    "${vp[*]}" "${fp[*]}" "${vj[*]}" "${fj[*]}"
}

case $section in
  all) bench_big; bench_small ;;
  big) bench_big ;;
  small) bench_small ;;
  *) echo "usage: $0 [all|big|small]" >&2; exit 2 ;;
esac
if ((hash_failures > 0)); then
  echo "velmora-cli wrote other video packets than ffmpeg in $hash_failures case(s)" >&2
  exit 1
fi
