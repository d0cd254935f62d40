# Sourced by the scripts that need a private X server.
#   startXvfb   starts Xvfb on a display number it picks itself (so parallel
#               tests never collide), exports DISPLAY once a client has
#               connected to it and sets xvfbPid; returns 1 with a message if
#               it fails
#   stopXvfb    stops that server (nothing if none runs)
xvfbPid=

startXvfb() {
  local numberFile fd
  numberFile=$(mktemp)
  exec {fd}>"$numberFile"
  # -noreset: no server reset when the last client leaves, during which the
  # next client could find no server.
  Xvfb -displayfd "$fd" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
  xvfbPid=$!
  exec {fd}>&-
  # The number is written, followed by a newline, once the server accepts
  # clients.
  for _ in $(seq 100); do
    [ -s "$numberFile" ] && break
    if ! kill -0 "$xvfbPid" 2>/dev/null; then
      rm -f "$numberFile"
      xvfbPid=
      echo "Xvfb exited before it accepted clients" >&2
      return 1
    fi
    sleep 0.1
  done
  if [ ! -s "$numberFile" ]; then
    rm -f "$numberFile"
    stopXvfb
    echo "Xvfb gave no display number within 10 s" >&2
    return 1
  fi
  export DISPLAY=":$(head -n 1 "$numberFile")"
  rm -f "$numberFile"
  # The number is meant to come once clients can connect, yet right after
  # another server on the same number has stopped a first connection was
  # seen refused: wait until one succeeds.
  for _ in $(seq 100); do
    xprop -root >/dev/null 2>&1 && return 0
    if ! kill -0 "$xvfbPid" 2>/dev/null; then
      xvfbPid=
      echo "Xvfb on $DISPLAY exited before it took a connection" >&2
      return 1
    fi
    sleep 0.1
  done
  stopXvfb
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
