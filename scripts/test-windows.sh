#!/usr/bin/env bash
# Cross-compiles both Windows programs (64-bit and 32-bit) and their tests, then runs them under
# Wine on an Xvfb screen of their own (scripts/run-windows-tests.sh sets up the throwaway Wine
# prefix).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
scripts/install-deps.sh "${WINDOWS_PACKAGES[@]}"

for preset in windows windows-x86; do
  echo "== $preset build"
  cmake --preset "$preset"
  cmake --build --preset "$preset"
done

echo "== windows tests (Wine)"
start=$SECONDS
# Everything Wine starts, wineboot included, must see the screen: Wine's desktop process keeps
# the display it was started with.
xvfb-run --auto-servernum --server-args="-screen 0 1024x768x24 -nolisten tcp" \
  scripts/run-windows-tests.sh
echo "Windows tests took $((SECONDS - start)) s"
