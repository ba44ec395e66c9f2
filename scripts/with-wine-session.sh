#!/usr/bin/env bash
# Runs one command inside a wine session of the test prefix and returns its
# exit code:
#   scripts/with-wine-session.sh ctest --test-dir build/win --output-on-failure
# The session: the prefix exists (scripts/wine-prefix.sh); a private Xvfb
# display of 1024x768 (or, with QAV_USE_DISPLAY=1, the current $DISPLAY); one
# persistent wine server, so a wine call costs ~0.06 s instead of ~1 s; wine's
# background services already running. At the end the server, every program
# still running in the prefix, and Xvfb are stopped.
# The command runs with the environment of scripts/wine-env.sh (WINEPREFIX,
# HOME, LANG, ... of the test prefix) and DISPLAY of the session.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if (($# == 0)); then
  echo "usage: $0 command [arguments...]" >&2
  exit 2
fi

"$here/wine-prefix.sh" || exit 1
. "$here/wine-env.sh"
qav_wine_guard || exit 1

# Inside a session of the same prefix already (a script that calls this one
# under the session): just run the command.
if [ "${QAV_WINE_SESSION:-}" = "$QAV_WINEPREFIX" ]; then
  exec "$@"
fi

# One session per prefix at a time. The lock's descriptor is closed for every
# process started below, so nothing that outlives this script holds it.
exec 8>"$QAV_WINEPREFIX.session-lock"
if ! flock -n 8; then
  echo "with-wine-session: another session uses $QAV_WINEPREFIX; waiting for it" >&2
  flock 8
fi

xvfb_pid=
display_file=
cleanup() {
  # Ends the server and every wine process of this prefix, then waits until
  # they are gone, so that the prefix is not in use after the session.
  qav_wineserver -k 8>&- >/dev/null 2>&1
  timeout 20 wineserver -w 8>&- >/dev/null 2>&1
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
    rm -f "$QAV_WINEPREFIX-xvfb.pid"
  fi
  [ -n "$display_file" ] && rm -f "$display_file"
  exec 7>&-
  rm -f "$QAV_WINEPREFIX-keeper.fifo"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# A server still running for this prefix is left from a killed session (or
# from the prefix set-up just now), and an Xvfb from a killed session belongs
# to no one: end them before starting anew.
if qav_wineserver -k 8>&- >/dev/null 2>&1; then
  timeout 20 wineserver -w 8>&- >/dev/null 2>&1
fi
xvfb_pid_file=$QAV_WINEPREFIX-xvfb.pid
old_xvfb=$(cat "$xvfb_pid_file" 2>/dev/null)
if [ -n "$old_xvfb" ] && [ "$(cat "/proc/$old_xvfb/comm" 2>/dev/null)" = Xvfb ]; then
  echo "with-wine-session: ended an Xvfb left from an earlier run" >&2
  kill "$old_xvfb" 2>/dev/null
fi
rm -f "$xvfb_pid_file"

if [ "${QAV_USE_DISPLAY:-0}" = 1 ] && [ -n "${DISPLAY:-}" ]; then
  echo "with-wine-session: using DISPLAY=$DISPLAY" >&2
else
  # Xvfb picks a free display itself and writes its number when it is ready.
  display_file=$QAV_WINEPREFIX-xvfb.display
  : >"$display_file"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" 8>&- \
       >"$QAV_WINEPREFIX-xvfb.log" 2>&1 </dev/null &
  xvfb_pid=$!
  echo "$xvfb_pid" >"$xvfb_pid_file"
  for ((i = 0; i < 100; i++)); do
    [ -s "$display_file" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ ! -s "$display_file" ]; then
    echo "with-wine-session: Xvfb did not start; see $QAV_WINEPREFIX-xvfb.log" >&2
    exit 1
  fi
  export DISPLAY=:$(head -n1 "$display_file")
fi

qav_wineserver -p 8>&- || { echo "with-wine-session: wineserver -p failed" >&2; exit 1; }
# Wine's background services and the virtual desktop's process keep the
# standard error of the process that started them. Started under ctest, they
# would hold ctest's output pipe open and ctest would wait on the test that
# started them (~1 s each time, or for good). So start them here, on /dev/null:
# the first wine process starts the services; a window (rundll32 makes one)
# starts the desktop.
qav_wine cmd.exe /c exit 0 8>&- </dev/null >/dev/null 2>&1 ||
  { echo "with-wine-session: wine does not start" >&2; exit 1; }
# The desktop closes one second after its last user has gone, and the next
# window would start it again under ctest: a console process that waits on
# an empty pipe stays its user for the whole session.
keeper_fifo=$QAV_WINEPREFIX-keeper.fifo
rm -f "$keeper_fifo"
mkfifo "$keeper_fifo"
qav_wine cmd.exe <"$keeper_fifo" >/dev/null 2>&1 8>&- &
exec 7>"$keeper_fifo"
qav_wine rundll32.exe user32.dll,GetDesktopWindow 7>&- 8>&- </dev/null >/dev/null 2>&1

export QAV_WINE_SESSION=$QAV_WINEPREFIX
"$@" 7>&- 8>&-
exit $?
