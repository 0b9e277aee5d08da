#!/usr/bin/env bash
# Makes the icon theme's sizes from the program icon (256 px), with ffmpeg.
# Run after changing resources/pictures/266.png and commit the results.
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 32 48 128 256; do
  ffmpeg -nostdin -v error -y -i ../pictures/266.png \
    -vf "scale=${size}:${size}:flags=lanczos" "icons/velmora-${size}.png"
done
