#!/usr/bin/env bash
# Usage (on an X display, e.g. inside with-xvfb):
#   demo_under_wine.sh WINE-RUN PREFIX marching-cubes.exe x11-window
# Runs the Windows demo under Wine and checks it end to end: its window
# appears with the title "Marching Cubes", shows red blobs on mid grey, and a
# close request from the window system ends it with exit code 0 and exactly
# the one line "Shutting down." on its stdout.
set -euo pipefail
wineRun=$1 prefix=$2 exe=$3 x11Window=$4
title="Marching Cubes"

work=$(mktemp -d)
demo=
cleanup() {
  if [ -n "$demo" ] && kill -0 "$demo" 2>/dev/null; then kill "$demo" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  echo "--- stderr of the demo:" >&2
  cat "$work/stderr" >&2 || true
  exit 1
}

[ -x "$x11Window" ] || fail "no X11 helper at $x11Window (build the native release preset first)"

"$wineRun" "$prefix" "$exe" >"$work/stdout" 2>"$work/stderr" &
demo=$!

# Wine's first start on a fresh display takes a few seconds.
"$x11Window" wait "$title" 60 >/dev/null || fail "no window titled \"$title\""

# The clear colour 0.25 is 64 per channel; the triangles are pure red. Grey
# must dominate, with a visible amount of red: frames keep coming, so poll
# until one has been presented.
grey=0 red=0 total=0
for _ in $(seq 100); do
  "$x11Window" colours "$title" >"$work/colours" || fail "cannot read the window's pixels"
  grey=$(awk '$2 == "404040" { print $1 }' "$work/colours")
  red=$(awk '$2 == "ff0000" { print $1 }' "$work/colours")
  total=$(awk '{ n += $1 } END { print n + 0 }' "$work/colours")
  grey=${grey:-0} red=${red:-0}
  if [ "$grey" -gt $((total / 2)) ] && [ "$red" -gt $((total / 200)) ]; then
    break
  fi
  sleep 0.1
done
echo "pixels: $total, mid grey: $grey, red: $red"
head -n 5 "$work/colours" | sed "s/^/  count, colour: /"
[ "$grey" -gt $((total / 2)) ] || fail "mid grey (64,64,64) covers $grey of $total pixels"
[ "$red" -gt $((total / 200)) ] || fail "red covers $red of $total pixels"

"$x11Window" close "$title" || fail "cannot send the close request"
for _ in $(seq 300); do
  kill -0 "$demo" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$demo" 2>/dev/null && fail "still running 30 s after the close request"
status=0
wait "$demo" || status=$?
demo=
[ "$status" -eq 0 ] || fail "exit code $status after a close request"

# Windows text mode writes CR LF.
printf 'Shutting down.\r\n' >"$work/expected"
cmp -s "$work/stdout" "$work/expected" ||
  fail "stdout is not exactly one \"Shutting down.\" line: $(od -c "$work/stdout" | head -5)"
echo "closed with exit code 0 and one shutdown line"
