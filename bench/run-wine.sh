#!/usr/bin/env bash
# Builds the benchmark of qav under wine and runs it in a wine session:
#   bench/run-wine.sh [FOLDER] [--scale S] [--runs N] [--sets big,small,empty] [--no-exe] [--verbose]
# FOLDER (default build/bench-data, shared with bench/run-native.sh) keeps the
# data sets between runs: about 1.4 GiB at full scale, and up to 3 GiB more
# while it runs. --scale 0.01 makes a quick run. It prints numbers; it passes
# or fails nothing. A full run takes about 45 minutes.
#
# The benchmark uses its own wine prefix (build/bench-wine/wineprefix, or
# QAV_WINEPREFIX): qav's window registers the ".qav" association and the SendTo
# entry for the program that shows it, which the tests' prefix must not keep,
# and a test session need not wait for a benchmark.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
folder=$repo/build/bench-data
if (($# > 0)) && [[ $1 != --* ]]; then
  folder=$1
  shift
fi
mkdir -p "$folder"
folder=$(cd "$folder" && pwd)

# The cross tree builds the benchmark once the project adds bench/wine;
# until then a tree of its own does (bench/wine/CMakeLists.txt pulls in the
# whole project).
toolchain=$repo/cmake/mingw-w64-x86_64.cmake
win=$repo/build/win
if [ ! -f "$win/CMakeCache.txt" ]; then
  cmake -S "$repo" -B "$win" -DCMAKE_TOOLCHAIN_FILE="$toolchain" >/dev/null
fi
if cmake --build "$win" --target help | grep -w qav_wine_bench >/dev/null; then
  tree=$win
else
  tree=$repo/build/bench-win
  cmake -S "$repo/bench/wine" -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$toolchain" >/dev/null
fi
echo "building $tree ..." >&2
cmake --build "$tree" -j2 --target qav_wine_bench >/dev/null
exe=$(cat "$tree/qav_wine_bench.path")

export QAV_WINEPREFIX=${QAV_WINEPREFIX:-$repo/build/bench-wine/wineprefix}
# Wine sees the Linux root as drive Z:.
winfolder=Z:${folder//\//\\}
winexe=Z:${exe//\//\\}

# The data sets are made first and written to disk before anything is timed.
exec "$repo/scripts/with-wine-session.sh" bash -c '
  . "$1/scripts/wine-env.sh"
  exe=$2 folder=$3
  shift 3
  # A shell link to a program on drive Z: makes wine say this once per process.
  quiet() { "$@" 2> >(grep -v "FS volume label and serial are not available" >&2); }
  quiet qav_wine "$exe" "$folder" --prepare "$@" && sync && quiet qav_wine "$exe" "$folder" "$@"
' run-wine "$repo" "$winexe" "$winfolder" "$@"
