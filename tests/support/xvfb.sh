# Sourced by the scripts that need a private X server.
#   startXvfb   starts Xvfb on a free display number of its own choosing,
#               exports DISPLAY once a client has connected to it and sets
#               xvfbPid; returns 1 with a message if it fails
#   stopXvfb    stops that server (nothing if none runs)
xvfbPid=

# Numbers are drawn at random from a range far above the :0, :1, ... that
# desktops and "the lowest free number" (-displayfd) hand out. A number that
# another server has just given up is never reused at once: a server that
# is still shutting down unlinks its socket path even after a new server has
# bound the same path, which leaves the new one unreachable.
startXvfb() {
  local attempt number
  for attempt in 1 2 3 4 5 6 7 8; do
    number=$((200 + RANDOM % 700))
    # -noreset: no server reset when the last client leaves, during which
    # the next client could find no server.
    Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    xvfbPid=$!
    export DISPLAY=":$number"
    if waitForXvfbClient; then
      return 0
    fi
    stopXvfb
  done
  echo "Xvfb started on no display number in $attempt attempts" >&2
  return 1
}

# Succeeds once a client has connected; fails at once if the server exited
# (its number was taken, say) and after 10 s without a connection.
waitForXvfbClient() {
  for _ in $(seq 100); do
    xprop -root >/dev/null 2>&1 && return 0
    if ! kill -0 "$xvfbPid" 2>/dev/null; then
      echo "Xvfb on $DISPLAY exited before it took a connection" >&2
      return 1
    fi
    sleep 0.1
  done
  echo "Xvfb on $DISPLAY took no connection within 10 s" >&2
  return 1
}

stopXvfb() {
  if [ -n "$xvfbPid" ]; then
    kill "$xvfbPid" 2>/dev/null || true
    wait "$xvfbPid" 2>/dev/null || true
    xvfbPid=
  fi
}
