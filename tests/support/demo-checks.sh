# Checks shared by the tests that run a demo executable end to end, natively
# and under Wine. Source it after setting `title`; it makes the scratch folder
# $work (removed on exit, together with the process in $pid) and provides:
#   fail MESSAGE            report, show the demo's stderr, exit 1
#   waitForExit WHAT        wait up to 30 s for $pid to end; exit code in $status
#   expectRedOnGrey HELPER  the window shows red blobs on mid grey (64,64,64)
#   expectShutdownLine EOL  stdout is exactly "Shutting down." and EOL
work=$(mktemp -d)
pid=
cleanupDemo() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanupDemo EXIT

fail() {
  echo "FAIL: $*" >&2
  echo "--- stderr of the demo:" >&2
  cat "$work/stderr" >&2 || true
  exit 1
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
expectRedOnGrey() {
  local x11Window=$1 grey=0 red=0 total=0
  for _ in $(seq 100); do
    "$x11Window" colours "$title" >"$work/colours" || fail "cannot read the window's pixels"
    grey=$(awk '$2 == "404040" { print $1 }' "$work/colours")
    red=$(awk '$2 == "ff0000" { print $1 }' "$work/colours")
    total=$(awk '{ n += $1 } END { print n + 0 }' "$work/colours")
    grey=${grey:-0} red=${red:-0}
    [ "$grey" -gt $((total / 2)) ] && [ "$red" -gt $((total / 200)) ] && break
    sleep 0.1
  done
  echo "pixels: $total, mid grey: $grey, red: $red"
  [ "$grey" -gt $((total / 2)) ] || fail "mid grey (64,64,64) covers $grey of $total pixels"
  [ "$red" -gt $((total / 200)) ] || fail "red covers $red of $total pixels"
}

expectShutdownLine() {
  printf 'Shutting down.%b' "$1" >"$work/expected"
  cmp -s "$work/stdout" "$work/expected" ||
    fail "stdout is not exactly one \"Shutting down.\" line: $(od -c "$work/stdout" | head -5)"
}
