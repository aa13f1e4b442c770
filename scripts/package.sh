#!/usr/bin/env bash
# Builds the setup program build/dist/Morvane-<version>-setup.exe (the version
# from the file VERSION) with NSIS from the Release builds of the three Windows
# trees, build/win32, build/win64 and build/arm64 (the trees scripts/test.sh
# tests), of which it builds only the DLL and morvane-inspect. The DLLs and programs ship
# without symbols and debug information. Beside the setup program it writes
# the winget manifest, winget/ in the same folder. Prints the setup program's
# path last.
#
# usage: package.sh [--version V --trees WIN32_TREE WIN64_TREE [ARM64_TREE] --out FILE]
# With the options it packs trees that are built already, under another
# version number (the upgrade tests make an older version's setup that way).
# Without an ARM64 tree, ARM64 Windows gets the x64 files, which its Explorer
# does not load: fit for tests under x64 Wine only, and the script says so.
#
# Signing: with MORVANE_SIGN_PKCS12 (a PKCS#12 file with the code-signing
# certificate, its chain and its key) and MORVANE_SIGN_PASSWORD, every file
# that ships is signed with osslsigncode (SHA-256): the DLLs, the
# morvane-inspect.exe programs, the uninstaller before it is packed and the setup
# program last. MORVANE_SIGN_TIMESTAMP_URL names an RFC 3161 time-stamping
# service, so the signatures stay valid after the certificate expires.
# Without a certificate it builds unsigned and says so.
#
# The manifest's InstallerUrl is MORVANE_RELEASE_URL, the address the setup
# program is published under (a placeholder without it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
version=$(cat "$root/VERSION")
tree32="$root/build/win32"
tree64="$root/build/win64"
treearm64="$root/build/arm64"
out=""
build=1
while [ $# -gt 0 ]; do
  case $1 in
    --version) version=$2; shift 2 ;;
    --trees)
      tree32=$(cd "$2" && pwd); tree64=$(cd "$3" && pwd); treearm64=""; build=0; shift 3
      if [ $# -gt 0 ] && [ "${1#--}" = "$1" ]; then treearm64=$(cd "$1" && pwd); shift; fi ;;
    --out) out=$2; shift 2 ;;
    *) sed -n 's/^# usage: //p' "$0" >&2; exit 2 ;;
  esac
done
out=${out:-$root/build/dist/Morvane-$version-setup.exe}

if [ $build = 1 ]; then
  bash "$root/scripts/setup.sh"
  trees=("$tree32:mingw-i686" "$tree64:mingw-x86_64")
  if MORVANE_ZIG=$(bash "$root/scripts/setup-arm64.sh") && [ -n "$MORVANE_ZIG" ]; then
    export MORVANE_ZIG
    trees+=("$treearm64:zig-aarch64")
  else
    echo "package: Zig, for the ARM64 tree, could not be installed (scripts/setup-arm64.sh)" >&2
    treearm64=""
  fi
  for tree in "${trees[@]}"; do
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

# sign FILE: signs it in place when a certificate is given. The password goes
# to osslsigncode in a file, never on a command line that others can read.
signing=0
if [ -n "${MORVANE_SIGN_PKCS12:-}" ]; then
  [ -f "$MORVANE_SIGN_PKCS12" ] || { echo "package: no certificate file $MORVANE_SIGN_PKCS12" >&2; exit 1; }
  command -v osslsigncode >/dev/null || { echo "package: osslsigncode is missing (scripts/setup.sh installs it)" >&2; exit 1; }
  signing=1
  (umask 077; printf '%s' "${MORVANE_SIGN_PASSWORD:-}" >"$files/password")
  echo "package: signing with $MORVANE_SIGN_PKCS12" >&2
else
  echo "package: no certificate (MORVANE_SIGN_PKCS12), so nothing is signed" >&2
fi
sign() {
  [ $signing = 1 ] || return 0
  local timestamp=()
  [ -n "${MORVANE_SIGN_TIMESTAMP_URL:-}" ] && timestamp=(-ts "$MORVANE_SIGN_TIMESTAMP_URL")
  osslsigncode sign -pkcs12 "$MORVANE_SIGN_PKCS12" -readpass "$files/password" -h sha256 -n Morvane \
    "${timestamp[@]}" -in "$1" -out "$1.signed" >"$files/sign.log" 2>&1 \
    || { cat "$files/sign.log" >&2; echo "package: signing $1 failed" >&2; exit 1; }
  mv "$1.signed" "$1"
  echo "signed $(basename "$1"): $(stat -c %s "$1") bytes" >&2
}

# ship NAME TREE: the tree's DLL and inspect program, stripped and signed, in
# $files/NAME (32, 64 or arm64).
ship() {
  local strip
  strip=$(sed -n 's/^CMAKE_STRIP:FILEPATH=//p' "$2/CMakeCache.txt")
  mkdir -p "$files/$1"
  for f in Morvane.dll morvane-inspect.exe; do
    "$strip" --strip-all -o "$files/$1/$f" "$2/bin/$f"
    echo "$1 $f: $(stat -c %s "$2/bin/$f") bytes as built, $(stat -c %s "$files/$1/$f") stripped" >&2
    sign "$files/$1/$f"
  done
}
ship 32 "$tree32"
ship 64 "$tree64"
if [ -n "$treearm64" ]; then
  ship arm64 "$treearm64"
else
  echo "package: no ARM64 tree, so ARM64 Windows gets the x64 files, which its Explorer does not load" >&2
fi
# kib FILE...: their size in KiB.
kib() { stat -c %s "$@" | awk '{ total += $1 } END { print int(total / 1024) }'; }

# NSIS's plugins (System, UserInfo) are DLLs that setup and the uninstaller
# unpack and load at run time: signed too, so that a policy that refuses
# unsigned DLLs lets them load.
plugins=()
if [ $signing = 1 ]; then
  mkdir -p "$files/plugins/x86-unicode"
  for p in System UserInfo; do
    cp "/usr/share/nsis/Plugins/x86-unicode/$p.dll" "$files/plugins/x86-unicode/"
    sign "$files/plugins/x86-unicode/$p.dll"
  done
  plugins=(-DPLUGINS="$files/plugins")
fi

mkdir -p "$(dirname "$out")"
icon="$tree64/res/Morvane.ico"
makensis -V2 "${plugins[@]}" -DVERSION="$version" -DICON="$icon" -DOUTFILE="$files/uninstall.exe" \
  "$root/installer/Uninstall.nsi" >&2
sign "$files/uninstall.exe"
arm64=()
[ -n "$treearm64" ] && arm64=(-DFILESARM64="$files/arm64"
  -DKBARM64="$(kib "$files"/arm64/* "$files/32/Morvane.dll" "$files/uninstall.exe")")
makensis -V2 "${plugins[@]}" "${arm64[@]}" -DVERSION="$version" -DFILES32="$files/32" -DFILES64="$files/64" \
  -DKB32="$(kib "$files"/32/* "$files/uninstall.exe")" \
  -DKB64="$(kib "$files"/64/* "$files/32/Morvane.dll" "$files/uninstall.exe")" \
  -DICON="$icon" -DUNINSTALL_PROGRAM="$files/uninstall.exe" -DOUTFILE="$out" "$root/installer/Morvane.nsi" >&2
echo "setup program: $(stat -c %s "$out") bytes, unsigned" >&2
sign "$out"

# The winget manifest: the three files of the multi-file schema, from the
# templates in installer/winget, for the setup program as it is now.
manifests="$(dirname "$out")/winget"
rm -rf "$manifests"
mkdir -p "$manifests"
rc_value() { sed -n "s/.*VALUE \"$1\", \"\\(.*\\)\".*/\\1/p" "$root/res/Morvane.rc"; }
sha256=$(sha256sum "$out" | cut -d' ' -f1 | tr a-f A-F)
url=${MORVANE_RELEASE_URL:-https://example.invalid/$(basename "$out")}
for template in "$root"/installer/winget/*.yaml; do
  sed -e "s|@VERSION@|$version|g" -e "s|@SHA256@|$sha256|g" -e "s|@URL@|$url|g" \
    -e "s|@PUBLISHER@|$(rc_value CompanyName)|g" -e "s|@COPYRIGHT@|$(rc_value LegalCopyright)|g" \
    "$template" >"$manifests/$(basename "$template")"
done
[ -n "${MORVANE_RELEASE_URL:-}" ] || echo "package: no MORVANE_RELEASE_URL, so the winget manifest names a placeholder address" >&2
echo "winget manifest: $manifests" >&2
echo "$out"
