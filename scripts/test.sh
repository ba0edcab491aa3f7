#!/usr/bin/env bash
# Installs what is missing, builds, checks the formatting and runs every test: the suite as it
# ships, a first build as a contributor makes it (plain CMake and its default generator), the suite
# again with AddressSanitizer and UndefinedBehaviorSanitizer, a short fuzzing run of each fuzz
# target (FUZZ_SECONDS each, 30 by default), a short reliability run and its hostile inputs again
# against the sanitized build, then the Windows programs' tests under Wine and the release
# packages, installed and run as their users would.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
scripts/install-deps.sh "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${FUZZ_PACKAGES[@]}" \
  "${RELIABILITY_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}"

step() {
  echo "== $1"
  step_started=$SECONDS
}
took() {
  echo "== $1 took $((SECONDS - step_started)) s"
}

# No display of the session's own: a message box there would wait for a person. The window tests
# start a private X server of their own, and the dialog tests use Qt's offscreen platform.
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

step "formatting"
scripts/check-format.sh

step "build"
cmake --preset linux
cmake --build --preset linux -j2
took "build"

step "tests"
ctest --preset linux -j2
took "tests"

# What a contributor types first: no preset, the default generator (Unix Makefiles, whose rules
# run each command in its own shell and folder, unlike Ninja's), a fresh build folder.
step "plain CMake build"
plain=$(mktemp -d)
cmake -S . -B "$plain" >/dev/null
cmake --build "$plain" -j2 >/dev/null
rm -rf "$plain"
took "plain CMake build"

step "sanitized build (AddressSanitizer, UndefinedBehaviorSanitizer)"
cmake --preset linux-asan >/dev/null
cmake --build --preset linux-asan -j2
took "sanitized build"

step "sanitized tests"
ctest --preset linux-asan
took "sanitized tests"

step "fuzzing"
scripts/fuzz.sh "${FUZZ_SECONDS:-30}"
took "fuzzing"

step "reliability (short run)"
scripts/reliability.sh
took "reliability"

step "reliability: hostile encodings and sizes, sanitized build"
scripts/reliability.sh --sanitized --only encodings
took "sanitized reliability"

step "windows"
scripts/test-windows.sh
took "windows"

step "release packages"
xvfb-run --auto-servernum --server-args="-screen 0 1024x768x24 -nolisten tcp" \
  tests/package/package_test.sh
took "release packages"
