#!/usr/bin/env bash
# Photographs the dialog on the demo folder under a private X server, with a window manager for
# the title bar, into docs/dialog.png.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
source scripts/xvfb.sh
scripts/install-deps.sh "${BUILD_PACKAGES[@]}" "${SCREENSHOT_PACKAGES[@]}"

cmake --preset linux >/dev/null
cmake --build --preset linux --target demo

work=$(mktemp -d)
cleanup() {
  [ -n "${program:-}" ] && kill "$program" 2>/dev/null
  [ -n "${wm:-}" ] && kill "$wm" 2>/dev/null
  stop_xvfb
  rm -rf "$work"
}
trap cleanup EXIT
cp -r build/linux/demo "$work/demo"

start_xvfb
openbox >/dev/null 2>&1 &
wm=$!
sleep 1
export XDG_RUNTIME_DIR="$work"
"$work/demo/VentrelConf" &
program=$!
window=$(timeout 10 xdotool search --sync --onlyvisible --name '^VentrelConf$' | head -1)
sleep 1  # let it paint
mkdir -p docs
# The frame that the window manager drew round the window, title bar included.
frame=$(xwininfo -id "$window" -children | sed -n 's/^  Parent window id: \(0x[0-9a-f]*\).*/\1/p')
import -window "${frame:-$window}" docs/dialog.png
echo "docs/dialog.png: $(identify -format '%wx%h' docs/dialog.png)"
