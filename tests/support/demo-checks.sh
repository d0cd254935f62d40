# Checks shared by the tests that run a demo executable end to end, natively
# and under Wine. Source it after setting `title`; it makes the scratch folder
# $work (removed on exit, together with the process in $pid) and provides:
#   fail MESSAGE              report, show the demo's stderr, exit 1
#   waitUntil WHAT COMMAND..  poll COMMAND until it succeeds; fail, naming
#                             WHAT, if the demo ($pid) ends first or 30 s pass
#   waitForWindow SECONDS     wait for the X window titled $title
#   waitForExit WHAT          wait up to 30 s for $pid to end; exit code in $status
#   expectRedOnGrey           the window shows red blobs on mid grey (64,64,64)
# The window functions use the X11 helper named by $x11Window.
#   expectShutdownLine EOL    stdout is exactly "Shutting down." and EOL
work=$(mktemp -d)
pid=
cleanupDemo() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanupDemo EXIT

fail() {
  echo "FAIL: $*" >&2
  if [ -s "$work/colours" ]; then
    echo "--- colours the window showed last (count, colour):" >&2
    head -n 5 "$work/colours" >&2
  fi
  echo "--- stderr of the demo (last 20 lines):" >&2
  tail -n 20 "$work/stderr" >&2 || true
  exit 1
}

waitUntil() {
  local what=$1 seconds=${waitSeconds:-30} tries
  shift
  for ((tries = seconds * 10; tries > 0; tries--)); do
    "$@" && return 0
    if ! kill -0 "$pid" 2>/dev/null; then
      status=0
      wait "$pid" || status=$?
      pid=
      fail "the demo ended (exit code $status) while waiting for $what"
    fi
    sleep 0.1
  done
  fail "gave up after $seconds s waiting for $what"
}

windowShown() { "$x11Window" wait "$title" 0 >/dev/null 2>&1; }

waitForWindow() {
  waitSeconds=$1 waitUntil "the window titled \"$title\"" windowShown
}

waitForExit() {
  for _ in $(seq 300); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null && fail "still running 30 s after $1"
  status=0
  wait "$pid" || status=$?
  pid=
}

# The clear colour 0.25 is 64 per channel and the triangles are pure red:
# grey must dominate, with a visible amount of red. Frames keep coming, so
# poll until one has been presented.
redOnGrey() {
  "$x11Window" colours "$title" >"$work/colours" || return 1
  grey=$(awk '$2 == "404040" { print $1 }' "$work/colours")
  red=$(awk '$2 == "ff0000" { print $1 }' "$work/colours")
  total=$(awk '{ n += $1 } END { print n + 0 }' "$work/colours")
  grey=${grey:-0} red=${red:-0}
  [ "$grey" -gt $((total / 2)) ] && [ "$red" -gt $((total / 200)) ]
}

expectRedOnGrey() {
  grey=0 red=0 total=0
  waitSeconds=10 waitUntil "red blobs on mid grey in the window" redOnGrey
  echo "pixels: $total, mid grey: $grey, red: $red"
}

expectShutdownLine() {
  printf 'Shutting down.%b' "$1" >"$work/expected"
  cmp -s "$work/stdout" "$work/expected" ||
    fail "stdout is not exactly one \"Shutting down.\" line: $(od -c "$work/stdout" | head -5)"
}
