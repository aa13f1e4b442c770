#!/usr/bin/env bash
# Builds the four trees and the setup program and runs every test: the native
# unit tests (ASan+UBSan), the fuzz smoke runs, and the Windows tests under
# Wine, those of build/win32 in its private 32-bit prefix and those of
# build/win64 (the same programs built for 64-bit, and the tests of both DLLs
# together) in its private 64-bit prefix; both run the setup program there.
# Ends with one line "N passed, M failed" over all suites and exits non-zero
# on any failure.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
t0=$(date +%s)
bash scripts/setup.sh || { echo "setup failed"; exit 1; }
t1=$(date +%s)

jobs=$(nproc 2>/dev/null || echo 2)
native="$root/build/native"
win32="$root/build/win32"
win64="$root/build/win64"
status=0
mkdir -p "$root/build"

# build_tree LABEL DIR CMAKE_ARGS...: configures and builds one tree, with its
# logs in build/<tree>-configure.log and build/<tree>-build.log.
build_tree() {
  local label=$1 dir=$2; shift 2
  local log="$root/build/$(basename "$dir")"
  echo "== configure and build: $label"
  cmake -S . -B "$dir" -G Ninja "$@" >"$log-configure.log" 2>&1 && ninja -C "$dir" -j"$jobs" >"$log-build.log" 2>&1 \
    || { tail -50 "$log-configure.log" "$log-build.log" 2>/dev/null; echo "$label build failed"; status=1; }
}

build_tree "native (clang, ASan+UBSan, libFuzzer)" "$native" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
# The ARM64 tree needs Zig from npm (scripts/setup-arm64.sh), which may be
# missing where the registry could not be reached: then it is skipped and the
# summary says so.
arm64="$root/build/arm64"
rm -rf "$arm64/test-results"
mkdir -p "$arm64/test-results"
if zig=$(bash scripts/setup-arm64.sh 2>/dev/null) && [ -n "$zig" ]; then
  export MORVANE_ZIG="$zig"
  # Debian's arm64 Wine under qemu-aarch64 runs the DLL once (arm64_emulated)
  # where its packages can be had.
  wine_root=""
  if wine_root=$(bash scripts/arm64-wine.sh "$root/build/arm64-root" 2>"$root/build/arm64-wine.log"); then
    wine_root="$root/build/arm64-root"
  else
    wine_root=""
    echo "arm64_emulated of build/arm64 (Debian's arm64 Wine could not be unpacked: see build/arm64-wine.log)" \
      >"$root/build/arm64/test-results/skipped.txt"
  fi
  # Its Windows tests take the fixtures that the 32-bit tree's tests make.
  build_tree "arm64 (Zig clang, aarch64-windows-gnu)" "$arm64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/zig-aarch64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DMORVANE_ARM64_WINE_ROOT="$wine_root" -DMORVANE_SHARED_FIXTURES="$root/build/win32/fixtures"
else
  arm64=""
  echo "dll_exports_imports of build/arm64 (Zig could not be installed: see scripts/setup-arm64.sh)" \
    >"$root/build/arm64/test-results/skipped.txt"
fi

# The Windows trees are Release builds, as the setup program ships them: the
# suites test the DLLs that ship, and the setup program is packed from these
# very trees.
setup="$root/build/dist/Morvane-$(cat "$root/VERSION")-setup.exe"
build_tree "win32 (mingw-w64 i686)" "$win32" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DMORVANE_SETUP="$setup"
# The 64-bit tree tests its DLL together with the 32-bit one, takes the
# fixtures that the 32-bit tree's tests make, and packs the setup program of
# all three trees in its packaging test.
build_tree "win64 (mingw-w64 x86_64)" "$win64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DMORVANE_OTHER_DLL="$win32/bin/Morvane.dll" -DMORVANE_SHARED_FIXTURES="$win32/fixtures" \
  -DMORVANE_SETUP="$setup" -DMORVANE_ARM64_TREE="$arm64"

echo "== setup program (from the Windows trees, NSIS)"
bash scripts/package.sh --trees "$win32" "$win64" ${arm64:+"$arm64"} --out "$setup" >/dev/null 2>"$root/build/package.log" \
  || { tail -30 "$root/build/package.log"; echo "packaging failed"; status=1; }

rm -rf "$native/test-results" "$win32/test-results" "$win64/test-results"
mkdir -p "$native/test-results" "$win32/test-results" "$win64/test-results"

echo "== native tests"
ctest --test-dir "$native" -j"$jobs" --timeout 900 --output-on-failure --output-junit "$native/test-results/ctest.xml" || status=1

echo "== Windows tests under Wine, 32-bit"
bash scripts/wine-ctest.sh "$win32" --timeout 600 --output-on-failure --output-junit "$win32/test-results/ctest.xml" || status=1

echo "== Windows tests under Wine, 64-bit"
bash scripts/wine-ctest.sh "$win64" --timeout 600 --output-on-failure --output-junit "$win64/test-results/ctest.xml" || status=1

if [ -n "$arm64" ]; then
  echo "== ARM64 DLL check, and the DLL's Windows tests under emulation"
  xvfb-run -a -s "-screen 0 1024x768x24" ctest --test-dir "$arm64" --output-on-failure \
    --output-junit "$arm64/test-results/ctest.xml" || status=1
fi

t2=$(date +%s)
echo "== time: $((t2 - t0)) s in all, $((t2 - t1)) s without setup"
python3 scripts/summarize.py "$native/test-results" "$win32/test-results" "$win64/test-results" \
  "$root/build/arm64/test-results" || status=1
exit $status
