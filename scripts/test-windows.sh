#!/usr/bin/env bash
# Cross-compiles both Windows programs (64-bit and 32-bit) and their tests, then runs them under
# Wine on an Xvfb screen of their own (scripts/run-windows-tests.sh sets up the throwaway Wine
# prefix).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
scripts/install-deps.sh "${WINDOWS_PACKAGES[@]}"
# Wine takes the ANSI code page from the Unix locale: ja_JP.UTF-8 gives 932, the double-byte code
# page the cases named CodePage932 run under.
if ! locale -a | grep -qx 'ja_JP.utf8'; then
  $([ "$(id -u)" -ne 0 ] && echo sudo) localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi

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
