#!/usr/bin/env bash
# Builds the three programs and starts qav.exe under wine.
#   scripts/run.sh [arguments for qav.exe...]
# With a DISPLAY, qav opens on it and the script returns when qav ends. Without
# one, qav runs on a virtual display; after a few seconds a screenshot is saved
# to build/qav-screenshot.png and qav is closed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc 2>/dev/null || echo 2)

scripts/install-deps.sh
# The programs only: the tests are built by scripts/test.sh.
cmake -S . -B build/app -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
      -DCMAKE_BUILD_TYPE=Release -DQAV_WINE_TESTS=OFF >/dev/null
cmake --build build/app -j"$jobs"

# The programs run from one folder, as they are shipped.
dist=build/dist
mkdir -p "$dist"
cp build/app/qav/qav.exe build/app/Start/Start.exe "$dist/"
echo "run: programs in $dist"

if [ -n "${DISPLAY:-}" ]; then
  QAV_USE_DISPLAY=1 exec scripts/with-wine-session.sh wine "$dist/qav.exe" "$@"
fi

screenshot=$root/build/qav-screenshot.png
scripts/with-wine-session.sh bash -c '
  wine "$1" "${@:3}" &
  sleep 6
  import -window root "$2"
  wine taskkill /im qav.exe >/dev/null 2>&1 || true
  wait || true
' run "$dist/qav.exe" "$screenshot" "$@"
echo "run: no display; qav.exe ran on a virtual one; screenshot: $screenshot"
