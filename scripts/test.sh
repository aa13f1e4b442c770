#!/usr/bin/env bash
# Builds both trees and runs every test: the native unit tests (ASan+UBSan),
# the fuzz smoke runs, and the Windows tests under Wine in the private prefix
# of build/win32. Ends with one line "N passed, M failed" over all suites and
# exits non-zero on any failure.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
t0=$(date +%s)
bash scripts/setup.sh || { echo "setup failed"; exit 1; }
t1=$(date +%s)

jobs=$(nproc 2>/dev/null || echo 2)
native="$root/build/native"
win32="$root/build/win32"
status=0
mkdir -p "$root/build"

echo "== configure and build: native (clang, ASan+UBSan, libFuzzer)"
cmake -S . -B "$native" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >"$root/build/native-configure.log" 2>&1 \
  && ninja -C "$native" -j"$jobs" >"$root/build/native-build.log" 2>&1 \
  || { tail -50 "$root/build/native-configure.log" "$root/build/native-build.log" 2>/dev/null; echo "native build failed"; status=1; }

echo "== configure and build: win32 (mingw-w64 i686)"
cmake -S . -B "$win32" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >"$root/build/win32-configure.log" 2>&1 \
  && ninja -C "$win32" -j"$jobs" >"$root/build/win32-build.log" 2>&1 \
  || { tail -50 "$root/build/win32-configure.log" "$root/build/win32-build.log" 2>/dev/null; echo "win32 build failed"; status=1; }

rm -rf "$native/test-results" "$win32/test-results"
mkdir -p "$native/test-results" "$win32/test-results"

echo "== native tests"
ctest --test-dir "$native" -j"$jobs" --timeout 900 --output-on-failure --output-junit "$native/test-results/ctest.xml" || status=1

echo "== Windows tests under Wine"
bash scripts/wine-ctest.sh "$win32" --timeout 600 --output-on-failure --output-junit "$win32/test-results/ctest.xml" || status=1

t2=$(date +%s)
echo "== time: $((t2 - t0)) s in all, $((t2 - t1)) s without setup"
python3 scripts/summarize.py "$native/test-results" "$win32/test-results" || status=1
exit $status
