#!/usr/bin/env bash
# Usage: demo_native.sh MODE marching-cubes x11-window
#   x11          on an X display (e.g. inside with-xvfb): the window
#                "Marching Cubes" appears with class WinMain and shows red
#                blobs on mid grey; the close button (WM_DELETE_WINDOW) ends
#                the demo with exit code 0 and exactly "Shutting down.\n".
#   headless     with no display at all: one notice line on stderr, and
#                SIGINT ends the demo the same normal way.
#   server-loss  on an X server of its own that then dies: the demo ends with
#                one line on stderr and exit code 1, not a crash.
set -euo pipefail
mode=$1 demo=$2 x11Window=$3
title="Marching Cubes"

server=
source "$(dirname "$0")/../support/demo-checks.sh"
trap 'cleanupDemo; if [ -n "$server" ]; then kill "$server" 2>/dev/null || true; fi' EXIT

expectNormalEnd() {
  [ "$status" -eq 0 ] || fail "exit code $status after $1"
  expectShutdownLine '\n'
}

startXvfb() {
  exec 8>"$work/number"
  Xvfb -displayfd 8 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  server=$!
  exec 8>&-
  for _ in $(seq 100); do
    [ -s "$work/number" ] && break
    sleep 0.1
  done
  [ -s "$work/number" ] || fail "Xvfb did not start"
  export DISPLAY=":$(head -n 1 "$work/number")"
}

case $mode in
  x11)
    MCUBES_DISPLAY=x11 "$demo" >"$work/stdout" 2>"$work/stderr" &
    pid=$!
    "$x11Window" wait "$title" 30 >/dev/null || fail "no window titled \"$title\""
    xprop -name "$title" WM_CLASS | grep -q '"WinMain", "WinMain"' || fail "WM_CLASS is not WinMain"
    expectRedOnGrey "$x11Window"
    "$x11Window" close "$title" || fail "cannot send the close request"
    waitForExit "the close request"
    expectNormalEnd "the close request"
    [ ! -s "$work/stderr" ] || fail "unexpected output on stderr"
    ;;
  headless)
    env -u DISPLAY -u MCUBES_DISPLAY "$demo" >"$work/stdout" 2>"$work/stderr" &
    pid=$!
    notice="no display: rendering offscreen; Ctrl+C to stop"
    for _ in $(seq 100); do
      grep -qx "$notice" "$work/stderr" && break
      sleep 0.1
    done
    grep -qx "$notice" "$work/stderr" || fail "no notice that it renders offscreen"
    sleep 0.5  # let it render a while
    kill -INT "$pid"
    waitForExit "SIGINT"
    expectNormalEnd "SIGINT"
    [ "$(cat "$work/stderr")" = "$notice" ] || fail "more than the notice on stderr"
    ;;
  server-loss)
    startXvfb
    MCUBES_DISPLAY=x11 "$demo" >"$work/stdout" 2>"$work/stderr" &
    pid=$!
    "$x11Window" wait "$title" 30 >/dev/null || fail "no window titled \"$title\""
    kill "$server"
    wait "$server" 2>/dev/null || true
    server=
    waitForExit "the X server went away"
    [ "$status" -eq 1 ] || fail "exit code $status when the X server went away"
    [ "$(wc -l <"$work/stderr")" -eq 1 ] || fail "not one line on stderr"
    grep -q "^lost the connection to the X server $DISPLAY" "$work/stderr" ||
      fail "the line does not say what happened"
    ;;
  *)
    echo "usage: demo_native.sh x11|headless|server-loss marching-cubes x11-window" >&2
    exit 2
    ;;
esac
echo "$mode: ok"
