# A private X server for the tests and the screenshot; sourced by them.
# shellcheck shell=bash

# Starts Xvfb on a display number nobody uses; exports DISPLAY and sets XVFB_PID. Servers that
# start at the same moment can both take one number, so they start one at a time. -noreset: a
# server resets when its last client leaves, and the tests' own short xdotool clients would
# otherwise reset it under a program that is just connecting, which then finds no display.
start_xvfb() {
  local fifo number="" lock
  exec {lock}>"${TMPDIR:-/tmp}/ventrel-xvfb.lock"
  flock "$lock"
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 {lock}>&- &
  XVFB_PID=$!
  read -r -t 10 number <"$fifo" || true
  rm -f "$fifo"
  flock -u "$lock"
  exec {lock}>&-
  if [ -z "$number" ]; then
    echo "Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":$number"
}

stop_xvfb() {
  if [ -n "${XVFB_PID:-}" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=""
  fi
}
