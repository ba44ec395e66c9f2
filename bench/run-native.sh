#!/usr/bin/env bash
# Builds the native benchmark of the pack and restore engines and runs it:
#   bench/run-native.sh [FOLDER] [--scale S] [--runs N]
# FOLDER (default build/bench-data) keeps the data sets between runs: about
# 1.4 GiB at full scale, and up to 4 GiB more while it runs. --scale 0.01 makes
# a quick run. It prints numbers; it passes or fails nothing.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
folder=$repo/build/bench-data
if (($# > 0)) && [[ $1 != --* ]]; then
  folder=$1
  shift
fi
cmake -S "$repo/bench" -B "$repo/build/bench" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$repo/build/bench" -j2 --target qav_bench >/dev/null
exec "$repo/build/bench/qav_bench" "$folder" "$@"
