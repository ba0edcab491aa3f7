#!/usr/bin/env bash
# End-to-end tests of the windows: the built program in a temporary local-layout folder, on a
# private X server, driven with xdotool.
# Usage: windows_e2e.sh BUILD_FOLDER CASE
set -euo pipefail
build=$1
case_name=$2
source "$(dirname "$0")/../../scripts/xvfb.sh"

work=$(mktemp -d)
program=""
cleanup() {
  if [ -n "$program" ]; then
    kill "$program" 2>/dev/null || true
  fi
  if [ -n "${XVFB_PID:-}" ]; then
    kill -CONT "$XVFB_PID" 2>/dev/null || true  # a stopped server would never hear the TERM
  fi
  stop_xvfb
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR="$work"  # keeps Qt's complaint about a missing one out of the output

app="$work/app"
data="$app/Zorvik - LAN PANORAMIC"
board="$data/VENTREL_DLL.INI"
mkdir -p "$data"
cp "$build/VentrelConf" "$build/VentrelConf-qt.so" "$build/VentrelConf.html" "$app/"
printf '[Model]\r\nManufacturer=Dremont\r\n[VentrelV1]\r\nDISPLAY=Ventrel 2D\r\n[Ventrel3DV1]\r\nDISPLAY=Ventrel 3D v1\r\n[Ventrel3DV2]\r\nDISPLAY=Ventrel 3D v2\r\n' \
  >"$data/VentrelConf.ini"

fail() {
  echo "FAILED ($case_name): $*" >&2
  exit 1
}

# Writes the board file; its first form is kept for comparing.
lay_board() {
  printf '%b' "$1" >"$board"
  cp "$board" "$work/board.before"
}

expect_board() {
  local expected
  expected=$(printf '%b' "$1")
  [ "$(cat "$board")" = "$expected" ] || fail "board file is $(od -c "$board" | head -5)"
}

expect_board_unchanged() {
  cmp -s "$board" "$work/board.before" || fail "board file changed: $(od -c "$board" | head -5)"
}

# Starts the program in the background, its output in $work/out and $work/err.
start() {
  "$app/VentrelConf" "$@" >"$work/out" 2>"$work/err" &
  program=$!
}

# Waits for the program to end, 10 s at most unless told; sets status.
finish() {
  local waited=0 limit=$((${1:-10} * 20))
  while kill -0 "$program" 2>/dev/null; do
    sleep 0.05
    waited=$((waited + 1))
    [ $waited -lt $limit ] || fail "the program did not end"
  done
  status=0
  wait "$program" || status=$?
  program=""
}

# Prints the id of a visible window titled VentrelConf other than those given.
find_window() {
  local id tries=0
  while [ $tries -lt 200 ]; do
    for id in $(xdotool search --onlyvisible --name '^VentrelConf$' 2>/dev/null || true); do
      if [[ " $* " != *" $id "* ]]; then
        echo "$id"
        return 0
      fi
    done
    kill -0 "$program" 2>/dev/null || fail "the program ended first: $(cat "$work/err")"
    sleep 0.05
    tries=$((tries + 1))
  done
  fail "no window titled VentrelConf"
}

# Gives the window the keyboard and presses the keys.
press() {
  local window=$1
  shift
  xdotool windowfocus --sync "$window"
  sleep 0.2  # the first keys may otherwise arrive before Qt has taken the focus in
  xdotool key --delay 50 "$@"
}

expect_status() {
  [ "$status" -eq "$1" ] || fail "exit status $status, expected $1; stderr: $(cat "$work/err")"
}

expect_err() {
  grep -qF -- "$1" "$work/err" || fail "stderr lacks '$1': $(cat "$work/err")"
}

case "$case_name" in
  return_writes_the_preselected_model)
    start_xvfb
    lay_board '[NET]\r\nA=1\r\n[BOARD]\r\nTYPE=301\r\n'  # reads as 300
    start
    press "$(find_window)" Return
    finish
    expect_status 0
    expect_board '[NET]\r\nA=1\r\n[BOARD]\r\nTYPE=300\r\nTYPE_SUB=300\r\n'
    ;;
  down_and_return_write_the_next_model)
    start_xvfb
    lay_board '[BOARD]\nTYPE=300\n'
    start
    press "$(find_window)" Down Return
    finish
    expect_board '[BOARD]\nTYPE=300\nTYPE_SUB=301\n'
    ;;
  escape_writes_nothing)
    start_xvfb
    lay_board '[BOARD]\r\nTYPE=300\r\nTYPE_SUB=301\r\n'
    start
    press "$(find_window)" Down Escape
    finish
    expect_status 0
    expect_board_unchanged
    ;;
  nothing_selected_shows_the_box_over_the_dialog)
    start_xvfb
    lay_board '[BOARD]\nOTHER=1\n'
    start
    dialog=$(find_window)
    press "$dialog" Return
    box=$(find_window "$dialog")
    [ "$(xprop -id "$box" WM_TRANSIENT_FOR | grep -o '0x[0-9a-f]*')" = "$(printf '0x%x' "$dialog")" ] ||
      fail "the box is not owned by the dialog: $(xprop -id "$box" WM_TRANSIENT_FOR)"
    press "$box" Return
    finish
    expect_board_unchanged
    ;;
  silent_mode_message_is_a_box)
    start_xvfb
    lay_board '[BOARD]\nTYPE=200\n'
    start 250
    press "$(find_window)" Return
    finish
    expect_status 1
    expect_board_unchanged
    [ ! -s "$work/err" ] || fail "the box was also a line: $(cat "$work/err")"
    ;;
  without_a_display)
    lay_board '[BOARD]\nTYPE=200\n'
    unset DISPLAY WAYLAND_DISPLAY
    start
    finish
    expect_status 2
    expect_err "VentrelConf: the dialog cannot be shown: no display"
    expect_board_unchanged
    start 250
    finish
    expect_status 1
    expect_err "VentrelConf: Error: CUsbConfDlg::SetModel improper value!"
    start 301
    finish
    expect_status 0
    expect_board '[BOARD]\nTYPE=300\nTYPE_SUB=301\n'
    ;;
  display_that_does_not_open)
    lay_board '[BOARD]\nTYPE=200\n'
    export DISPLAY=:"$((RANDOM + 30000))"
    start
    finish
    expect_status 2
    expect_err "VentrelConf: the dialog cannot be shown: Qt cannot open the display $DISPLAY."
    start 250
    finish
    expect_status 1
    expect_err "VentrelConf: Error: CUsbConfDlg::SetModel improper value!"
    expect_board_unchanged
    ;;
  display_that_does_not_answer)
    lay_board '[BOARD]\nTYPE=200\n'
    start_xvfb
    kill -STOP "$XVFB_PID"  # its socket still takes connections, and nothing answers them
    start
    finish 20
    expect_status 2
    expect_err "VentrelConf: the dialog cannot be shown: Qt cannot open the display $DISPLAY."
    expect_board_unchanged
    ;;
  wayland_without_a_compositor)
    lay_board '[BOARD]\nTYPE=200\n'
    unset DISPLAY
    export WAYLAND_DISPLAY=wayland-nowhere
    start
    finish
    expect_status 2
    expect_err "VentrelConf: the dialog cannot be shown: Qt cannot open the display wayland-nowhere."
    ;;
  platform_plugin_that_does_not_load)
    # Found where Qt looks, yet no library: only Qt itself can find out, and its fatal message
    # must end the program as cleanly as the check would have.
    start_xvfb
    lay_board '[BOARD]\nTYPE=200\n'
    mkdir "$work/platforms"
    : >"$work/platforms/libqbroken.so"
    export QT_QPA_PLATFORM=broken QT_QPA_PLATFORM_PLUGIN_PATH="$work/platforms"
    start
    finish
    expect_status 2
    expect_err "VentrelConf: the dialog cannot be shown: Qt cannot open the display $DISPLAY."
    expect_board_unchanged
    ;;
  without_the_module)
    start_xvfb
    rm "$app/VentrelConf-qt.so"
    lay_board '[BOARD]\nTYPE=200\n'
    start
    finish
    expect_status 2
    expect_err "VentrelConf: the dialog cannot be shown: the window module cannot be loaded:"
    start 250
    finish
    expect_status 1
    expect_err "VentrelConf: Error: CUsbConfDlg::SetModel improper value!"
    expect_board_unchanged
    ;;
  dialog_that_fails_while_running)
    # A window module whose dialog fails once it runs: the program says why and ends as it does
    # when no dialog can be shown at all.
    cp "$build/tests/qt/libventrel_fake_front_end.so" "$app/VentrelConf-qt.so"
    lay_board '[BOARD]\nTYPE=200\n'
    export DISPLAY=:"$((RANDOM + 30000))" FAKE_FRONT_END_FAIL_DIALOG="it was cut short"
    start
    finish
    expect_status 2
    expect_err "box VentrelConf: the dialog cannot be shown: it was cut short. Give a model code"
    expect_board_unchanged
    ;;
  silent_mode_loads_no_qt)
    start_xvfb
    lay_board '[BOARD]\nTYPE=200\n'
    if readelf -d "$app/VentrelConf" | grep -i 'NEEDED.*qt'; then
      fail "the executable links Qt"
    fi
    LD_DEBUG=files "$app/VentrelConf" 301 2>"$work/loaded"
    grep -q 'file=libc.so' "$work/loaded" || fail "LD_DEBUG reported nothing"
    if grep -E 'file=.*(libQt6|VentrelConf-qt)' "$work/loaded"; then
      fail "silent mode loaded Qt"
    fi
    expect_board '[BOARD]\nTYPE=300\nTYPE_SUB=301\n'
    ;;
  module_finds_the_core_in_the_executable)
    missing=$(comm -23 \
      <(nm -D --undefined-only "$app/VentrelConf-qt.so" | awk '{print $2}' | grep '^_ZN7ventrel' | sort -u) \
      <(nm -D --defined-only "$app/VentrelConf" | awk '{print $3}' | sort -u))
    [ -z "$missing" ] || fail "the executable does not export: $(echo "$missing" | c++filt)"
    ;;
  *)
    fail "no such case"
    ;;
esac
echo "PASSED: $case_name"
