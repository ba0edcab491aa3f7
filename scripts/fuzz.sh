#!/usr/bin/env bash
# Builds the libFuzzer targets (preset fuzz) and runs each for the given number of seconds (60 by
# default). A finding stops the run: its input lands in build/fuzz/findings/, to replay with
#   build/fuzz/fuzz/<target>_fuzzer <file>
# The corpus grows in build/fuzz/corpus/ from run to run; fuzz/corpus/ holds the seeds.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
source scripts/packages.sh
scripts/install-deps.sh "${BUILD_PACKAGES[@]}" "${FUZZ_PACKAGES[@]}"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

out=build/fuzz
mkdir -p "$out/findings"
status=0
for target in ini_reader ini_editor command_line; do
  corpus="$out/corpus/$target"
  mkdir -p "$corpus"
  options=(-max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048
           -print_final_stats=1 -artifact_prefix="$out/findings/$target-")
  if [ "$target" != command_line ]; then
    options+=(-dict=fuzz/ini.dict)
  fi
  log="$out/$target.log"
  start=$SECONDS
  if "$out/fuzz/${target}_fuzzer" "${options[@]}" "$corpus" "fuzz/corpus/$target" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz $target: ${runs:-?} inputs in $((SECONDS - start)) s, no finding"
  else
    echo "fuzz $target: FINDING (log $log)"
    grep -a -E '^broken|ERROR|SUMMARY|Test unit written' "$log" | head -20 || true
    status=1
  fi
done
exit $status
