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
cmake --build --preset linux

echo "== tests"
ctest --preset linux

echo "== windows"
scripts/test-windows.sh
