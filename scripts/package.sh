#!/usr/bin/env bash
# Builds the setup program build/dist/Morvane-<version>-setup.exe (the version
# from the file VERSION) with NSIS from the Release builds of both Windows
# trees, build/win32 and build/win64 (the trees scripts/test.sh tests), of
# which it builds only the DLL and morvane-inspect. The DLLs and programs ship without symbols and debug
# information. Prints the setup program's path last.
#
# usage: package.sh [--version V --trees WIN32_TREE WIN64_TREE --out FILE]
# With the options it packs trees that are built already, under another
# version number (the upgrade tests make an older version's setup that way).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
version=$(cat "$root/VERSION")
tree32="$root/build/win32"
tree64="$root/build/win64"
out=""
build=1
while [ $# -gt 0 ]; do
  case $1 in
    --version) version=$2; shift 2 ;;
    --trees) tree32=$2; tree64=$3; build=0; shift 3 ;;
    --out) out=$2; shift 2 ;;
    *) sed -n 's/^# usage: //p' "$0" >&2; exit 2 ;;
  esac
done
out=${out:-$root/build/dist/Morvane-$version-setup.exe}

if [ $build = 1 ]; then
  bash "$root/scripts/setup.sh"
  for tree in "$tree32:mingw-i686" "$tree64:mingw-x86_64"; do
    dir=${tree%%:*}
    echo "== Release build: $dir" >&2
    mkdir -p "$dir"
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/${tree#*:}.cmake" >"$dir/configure.log" 2>&1 \
      && ninja -C "$dir" Morvane morvane-inspect >"$dir/build.log" 2>&1 \
      || { tail -30 "$dir/configure.log" "$dir/build.log" >&2; echo "package: the build of $dir failed" >&2; exit 1; }
  done
fi

files=$(mktemp -d)
trap 'rm -rf "$files"' EXIT
# ship BITS TREE: the tree's DLL and inspect program, stripped, in $files/BITS.
ship() {
  local strip
  strip=$(sed -n 's/^CMAKE_STRIP:FILEPATH=//p' "$2/CMakeCache.txt")
  mkdir -p "$files/$1"
  for f in Morvane.dll morvane-inspect.exe; do
    "$strip" --strip-all -o "$files/$1/$f" "$2/bin/$f"
    echo "$1-bit $f: $(stat -c %s "$2/bin/$f") bytes as built, $(stat -c %s "$files/$1/$f") stripped" >&2
  done
}
ship 32 "$tree32"
ship 64 "$tree64"
# kib FILE...: their size in KiB.
kib() { stat -c %s "$@" | awk '{ total += $1 } END { print int(total / 1024) }'; }

mkdir -p "$(dirname "$out")"
makensis -V2 -DVERSION="$version" -DFILES32="$files/32" -DFILES64="$files/64" \
  -DKB32="$(kib "$files"/32/*)" -DKB64="$(kib "$files"/64/* "$files/32/Morvane.dll")" \
  -DICON="$tree64/res/Morvane.ico" -DOUTFILE="$out" "$root/installer/Morvane.nsi" >&2
echo "setup program: $(stat -c %s "$out") bytes" >&2
echo "$out"
