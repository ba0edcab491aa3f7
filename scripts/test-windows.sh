#!/usr/bin/env bash
# Cross-compiles VentrelConf.exe and its tests, then runs them under Wine on an Xvfb screen of
# their own (scripts/run-windows-tests.sh sets up the throwaway Wine prefix).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
scripts/install-deps.sh "${WINDOWS_PACKAGES[@]}"

echo "== windows build"
cmake --preset windows
cmake --build --preset windows

echo "== windows tests (Wine)"
start=$SECONDS
# Everything Wine starts, wineboot included, must see the screen: Wine's desktop process keeps
# the display it was started with.
xvfb-run --auto-servernum --server-args="-screen 0 1024x768x24 -nolisten tcp" \
  scripts/run-windows-tests.sh
echo "Windows tests took $((SECONDS - start)) s"
