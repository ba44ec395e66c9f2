#!/usr/bin/env bash
# Builds everything and runs every test suite: the core's unit tests natively,
# then the Windows programs and their tests under wine (in a prefix and on a
# virtual display of the build folder's own). Installs what is missing first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc 2>/dev/null || echo 2)

scripts/install-deps.sh

echo "== native build and unit tests"
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/native -j"$jobs"
ctest --test-dir build/native --output-on-failure -j"$jobs"

echo "== Windows build (mingw-w64)"
cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
      -DCMAKE_BUILD_TYPE=Release -DQAV_WINE_TESTS=ON >/dev/null
cmake --build build/win -j"$jobs"

echo "== tests under wine"
scripts/with-wine-session.sh ctest --test-dir build/win --output-on-failure -j"$jobs"
