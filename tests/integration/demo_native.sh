#!/usr/bin/env bash
# Usage: demo_native.sh MODE marching-cubes x11-window
#   x11          on an X display (e.g. inside with-xvfb): the window
#                "Marching Cubes" appears with class WinMain and shows
#                red blobs on mid grey; the close button (WM_DELETE_WINDOW)
#                ends the demo with exit code 0 and exactly "Shutting down.\n".
#   headless     with no display at all: one notice line on stderr, frames
#                are presented, and SIGINT ends the demo the same normal way.
#   server-loss  on an X server of its own that then dies: the demo ends with
#                one line on stderr and exit code 1, not a crash.
set -euo pipefail
mode=$1 demo=$2 x11Window=$3
title="Marching Cubes"

source "$(dirname "$0")/../support/demo-checks.sh"
source "$(dirname "$0")/../support/xvfb.sh"
trap 'cleanupDemo; stopXvfb' EXIT

expectNormalEnd() {
  [ "$status" -eq 0 ] || fail "exit code $status after $1"
  expectShutdownLine '\n'
}

stderrHas() { grep -q "$1" "$work/stderr"; }

case $mode in
  x11)
    MCUBES_DISPLAY=x11 "$demo" >"$work/stdout" 2>"$work/stderr" &
    pid=$!
    waitForWindow 30
    wmClass=$(xprop -name "$title" WM_CLASS) || fail "cannot read the window's WM_CLASS"
    [[ $wmClass == *'"WinMain", "WinMain"'* ]] || fail "WM_CLASS is not WinMain: $wmClass"
    expectRedOnGrey
    "$x11Window" close "$title" || fail "cannot send the close request"
    waitForExit "the close request"
    expectNormalEnd "the close request"
    [ ! -s "$work/stderr" ] || fail "unexpected output on stderr"
    ;;
  headless)
    # The call trace shows when a frame has been presented.
    env -u DISPLAY -u MCUBES_DISPLAY MCUBES_TRACE=1 "$demo" >"$work/stdout" 2>"$work/stderr" &
    pid=$!
    notice="no display: rendering offscreen; Ctrl+C to stop"
    waitUntil "the notice that it renders offscreen" stderrHas "^$notice\$"
    waitUntil "a frame presented (SwapBuffers in the trace)" stderrHas '^trace: SwapBuffers'
    kill -INT "$pid"
    waitForExit "SIGINT"
    expectNormalEnd "SIGINT"
    untraced=$(grep -v '^trace: ' "$work/stderr" || true)
    [ "$untraced" = "$notice" ] || fail "more than the notice on stderr: $untraced"
    ;;
  server-loss)
    startXvfb || fail "no X server of its own to lose"
    MCUBES_DISPLAY=x11 "$demo" >"$work/stdout" 2>"$work/stderr" &
    pid=$!
    waitForWindow 30
    stopXvfb
    waitForExit "the X server went away"
    [ "$status" -eq 1 ] || fail "exit code $status when the X server went away"
    [ "$(wc -l <"$work/stderr")" -eq 1 ] || fail "not one line on stderr"
    stderrHas "^lost the connection to the X server $DISPLAY" ||
      fail "the line does not say what happened"
    ;;
  *)
    echo "usage: demo_native.sh x11|headless|server-loss marching-cubes x11-window" >&2
    exit 2
    ;;
esac
echo "$mode: ok"
