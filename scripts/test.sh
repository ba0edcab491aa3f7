#!/usr/bin/env bash
# Installs what is missing, builds, checks the formatting and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
scripts/install-deps.sh "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}"

echo "== formatting"
scripts/check-format.sh

echo "== build"
cmake --preset linux
cmake --build --preset linux -j2

echo "== tests"
# No display of the session's own: a message box there would wait for a person. The window tests
# start a private X server of their own, and the dialog tests use Qt's offscreen platform.
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ctest --preset linux -j2

echo "== windows"
scripts/test-windows.sh
