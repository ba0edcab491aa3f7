#!/usr/bin/env bash
# Runs the Windows tests of both programs under Wine in a throwaway 64-bit prefix, set up once for
# the whole run: the 32-bit program runs there as on 64-bit Windows.
# Expects DISPLAY to name a screen (scripts/test-windows.sh starts one with xvfb-run).
set -euo pipefail
cd "$(dirname "$0")/.."
: "${DISPLAY:?run under an X server, as scripts/test-windows.sh does}"

source scripts/wine-loader.sh
prefix="$(mktemp -d "${TMPDIR:-/tmp}/ventrel-wine.XXXXXX")"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  wineserver -k 2>/dev/null || true  # this prefix's server and its programs only
  rm -rf "$prefix"
}
trap cleanup EXIT

start=$SECONDS
wineboot -i >/dev/null 2>&1
# A crash must end the program with its report on standard error, not wait on a dialog.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
echo "Wine prefix ready in $((SECONDS - start)) s"
for preset in windows windows-x86; do
  if [ "$preset" = windows-x86 ] && [ "$VENTREL_WINE32" = 0 ]; then
    ventrel_without_wine32 "the 32-bit program's tests (it is built all the same)"
    continue
  fi
  echo "== $preset tests"
  ctest --preset "$preset"
done
