#!/usr/bin/env bash
# Builds and runs the check-box list benchmark on the offscreen platform.
# Usage: bench/controls/run.sh [rows]   (default 10000)
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --preset default >/dev/null
cmake --build --preset default --target velmora_bench_check_list
QT_QPA_PLATFORM=offscreen build/default/bin/velmora_bench_check_list "$@"
