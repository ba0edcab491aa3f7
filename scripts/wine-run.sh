#!/usr/bin/env bash
# Runs a Windows program under Wine with its exit status; CTest's emulator for the windows presets.
# WINEPREFIX and DISPLAY come from scripts/test-windows.sh (a throwaway prefix and an Xvfb screen);
# without them the prefix in the build tree is used and set up on first use.
set -euo pipefail
if [ -z "${WINEPREFIX:-}" ]; then
  export WINEPREFIX
  WINEPREFIX="$(cd "$(dirname "$0")/.." && pwd)/build/windows/wineprefix"
fi
source "$(dirname "$0")/wine-loader.sh"
export WINEDEBUG="${WINEDEBUG:--all}"
# Neither Mono nor Gecko is needed; without this Wine offers to install them.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1
fi
exec wine "$@"
