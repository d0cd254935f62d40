#!/usr/bin/env bash
# Usage (on an X display, e.g. inside with-xvfb):
#   demo_under_wine.sh marching-cubes.exe x11-window EMULATOR...
# Runs the Windows demo under Wine and checks it end to end: its window
# appears with the title "Marching Cubes", shows red blobs on mid grey, and a
# close request from the window system ends it with exit code 0 and exactly
# the one line "Shutting down." on its stdout. EMULATOR is the build's command
# that runs a Windows program (scripts/wine-run with its word size and prefix).
set -euo pipefail
exe=$1 x11Window=$2
shift 2
emulator=("$@")
title="Marching Cubes"

source "$(dirname "$0")/../support/demo-checks.sh"

[ -x "$x11Window" ] || fail "no X11 helper at $x11Window (build the native release preset first)"

"${emulator[@]}" "$exe" >"$work/stdout" 2>"$work/stderr" &
pid=$!

# Wine's first start on a fresh display takes a few seconds.
waitForWindow 60
expectRedOnGrey
head -n 5 "$work/colours" | sed "s/^/  count, colour: /"

"$x11Window" close "$title" || fail "cannot send the close request"
waitForExit "the close request"
[ "$status" -eq 0 ] || fail "exit code $status after a close request"

# Windows text mode writes CR LF.
expectShutdownLine '\r\n'
echo "closed with exit code 0 and one shutdown line"
