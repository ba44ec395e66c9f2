#!/usr/bin/env bash
# Runs one Windows program under wine in the test prefix: the emulator ctest
# uses for the cross-built tests (CMAKE_CROSSCOMPILING_EMULATOR).
#   scripts/wine-run.sh program.exe [arguments...]
# Creates the prefix first when it does not exist yet. Windows need a display:
# run ctest through scripts/with-wine-session.sh.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$here/wine-prefix.sh" || exit 125
. "$here/wine-env.sh"
qav_wine_guard || exit 125
exec wine "$@"
