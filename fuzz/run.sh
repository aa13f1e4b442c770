#!/usr/bin/env bash
# fuzz/run.sh SECONDS [BUILD_DIR]: runs every fuzz target for SECONDS each over
# its seed corpus (new inputs stay in BUILD_DIR/fuzz-run/<name>) and prints
# the executions per second and total executions of each.
set -euo pipefail
seconds=${1:?usage: fuzz/run.sh SECONDS [BUILD_DIR]}
here=$(cd "$(dirname "$0")" && pwd)
build=${2:-$here/../build/native}
for fuzzer in "$build"/bin/fuzz_*; do
  name=$(basename "$fuzzer"); name=${name#fuzz_}
  work="$build/fuzz-run/$name"; mkdir -p "$work/corpus"
  cp -r "$here/corpus/$name"/. "$work/corpus/" 2>/dev/null || true
  (cd "$work" && "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$work/" corpus > "$work/log.txt" 2>&1) || { echo "$name: FAILED, see $work/log.txt"; exit 1; }
  runs=$(grep -m1 'stat::number_of_executed_units' "$work/log.txt" | awk '{print $2}')
  echo "$name: $runs executions in ${seconds}s ($((runs / seconds))/s)"
done
