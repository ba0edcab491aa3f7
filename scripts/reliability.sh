#!/usr/bin/env bash
# Builds the program and runs the reliability cases against it: SIGKILL during writes, concurrent
# writers, storage faults, encodings and sizes, unsafe paths. Prints a table; exit status 0 only
# when no byte was lost and nothing crashed.
#   scripts/reliability.sh            the short run of the test command (about 10 s)
#   scripts/reliability.sh --full     hundreds of kills, a 100 MB file (about a minute)
#   scripts/reliability.sh --sanitized [options]   against the build with the sanitizers
#   other options: --seed N, --only GROUP (the start of a group's name), --work DIR
# Some cases need root (an unprivileged user for permission faults, mount namespaces for a
# read-only mount and a full disk); without it they are listed as skipped.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
scripts/install-deps.sh "${BUILD_PACKAGES[@]}" "${RELIABILITY_PACKAGES[@]}"

preset=linux
if [ "${1:-}" = --sanitized ]; then
  preset=linux-asan
  shift
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target ventrel_reliability >/dev/null
tools="build/$preset/tests/reliability"
exec "$tools/ventrel_reliability" --exe "build/$preset/VentrelConf" \
  --writer "$tools/ventrel_section_writer" --peak "$tools/ventrel_peak_memory" "$@"
