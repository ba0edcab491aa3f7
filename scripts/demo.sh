#!/usr/bin/env bash
# Installs what is missing, builds, and runs VentrelConf on the demo folder in the build tree.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
scripts/install-deps.sh "${BUILD_PACKAGES[@]}"

cmake --preset linux >/dev/null
cmake --build --preset linux --target demo   # lays the demo folder out afresh

demo=build/linux/demo
board="$demo/Zorvik - LAN PANORAMIC/VENTREL_DLL.INI"
show_board() {
  echo "--- section BOARD of $board:"
  tr -d '\r' <"$board" | sed -n '/^\[BOARD\]/,/^$/p'
}

show_board
echo "--- $demo/VentrelConf 301"
status=0; "$demo/VentrelConf" 301 || status=$?
echo "exit status $status"
show_board
echo "--- $demo/VentrelConf 250"
status=0; "$demo/VentrelConf" 250 || status=$?
echo "exit status $status"
show_board
