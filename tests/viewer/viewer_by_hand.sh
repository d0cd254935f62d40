#!/usr/bin/env bash
# Usage (on an X display, e.g. inside with-xvfb):
#   viewer_by_hand.sh x11-window PROGRAM [ARGS...]
# Drives the viewer as a person would, through the X server's input: space
# pauses it, `s` saves the picture (twice the same picture while nothing
# moves), a drag across the window turns the camera (the next picture
# differs), `w`, `=` and `]` show in the title as wireframe, an iso level
# 0.01 higher and twice the divisions, `c` clips the picture and `.` then
# `,` bring the plane and the picture back, and Esc ends it with exit code 0.
# PROGRAM runs in a scratch folder, where the pictures land: `mcubes view`
# natively, the Windows viewer through Wine's emulator.
set -euo pipefail
x11Window=$1
shift
title="Marching Cubes - *"

source "$(dirname "$0")/../support/demo-checks.sh"

[ -x "$x11Window" ] || fail "no X11 helper at $x11Window (build the native release preset first)"

(cd "$work" && exec "$@" >stdout 2>stderr) &
pid=$!

currentTitle() { "$x11Window" title "$title" 2>/dev/null; }
titleHas() { currentTitle | grep -q -- "$1"; }
saved() { grep -q "Saved $1" "$work/stdout"; }
press() { "$x11Window" keys "$title" "$@" || fail "cannot press $*"; }

# The title gains the iso level once a frame is drawn. Wine's first start on
# a fresh display takes a few seconds.
waitForWindow 60
press space
waitUntil "the title to say paused" titleHas " - paused"

press s
waitUntil "the first picture" saved mcubes-view-0001.png
press s
waitUntil "the second picture" saved mcubes-view-0002.png
cmp -s "$work/mcubes-view-0001.png" "$work/mcubes-view-0002.png" ||
  fail "two pictures of a paused view differ"
[ "$(head -c 8 "$work/mcubes-view-0001.png" | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] ||
  fail "the saved picture is not a PNG file"

"$x11Window" drag "$title" 120 40 || fail "cannot drag across the window"
press s
waitUntil "the picture after the drag" saved mcubes-view-0003.png
cmp -s "$work/mcubes-view-0002.png" "$work/mcubes-view-0003.png" &&
  fail "the picture after a drag is the picture before it"

before=$(currentTitle)
iso=$(sed -n 's/.* iso \([0-9.]*\) .*/\1/p' <<<"$before")
divisions=$(sed -n 's/.* - \([0-9]*\) divisions .*/\1/p' <<<"$before")
[ -n "$iso" ] && [ -n "$divisions" ] || fail "no iso level or divisions in the title \"$before\""
press w equal bracketright
wanted=$(awk -v iso="$iso" -v d="$divisions" \
  'BEGIN { printf "iso %.3f - %d divisions", iso + 0.01, d * 2 }')
waitUntil "\"$wanted\" and wireframe in the title" \
  eval 'titleHas "$wanted" && titleHas " - wireframe"'
echo "title after w = ]: $(currentTitle)"

# The clipping plane changes the picture, and a step back undoes a step.
plane() { currentTitle | grep -o 'clipped at [a-z] [0-9]* %'; }
press s
waitUntil "the picture before clipping" saved mcubes-view-0004.png
press c
waitUntil "the clipping plane in the title" titleHas " - clipped at "
press s
waitUntil "the clipped picture" saved mcubes-view-0005.png
cmp -s "$work/mcubes-view-0004.png" "$work/mcubes-view-0005.png" &&
  fail "clipping did not change the picture"
at=$(plane)
press period
waitUntil "the plane to move from \"$at\"" eval '[ "$(plane)" != "$at" ]'
press comma
waitUntil "the plane back at \"$at\"" eval '[ "$(plane)" = "$at" ]'
press s
waitUntil "the picture after a step and a step back" saved mcubes-view-0006.png
cmp -s "$work/mcubes-view-0005.png" "$work/mcubes-view-0006.png" ||
  fail "the picture after a step of the plane and a step back differs"

press Escape
waitForExit "Esc"
[ "$status" -eq 0 ] || fail "exit code $status after Esc"
echo "six pictures saved, the title followed the keys, the plane clipped and came back, Esc ended it with exit code 0"
