#!/usr/bin/env bash
# smoke.sh FUZZER SEED_DIR WORK_DIR SECONDS: a short fuzzing run over a copy of
# the seed corpus; any crash, leak or sanitizer report fails it.
set -euo pipefail
fuzzer=$1 seeds=$2 work=$3 seconds=$4
rm -rf "$work"; mkdir -p "$work/corpus"
[ -d "$seeds" ] && cp -r "$seeds"/. "$work/corpus/" 2>/dev/null || true
cd "$work"
"$fuzzer" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$work/" corpus
