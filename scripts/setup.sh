#!/usr/bin/env bash
# Installs everything the three builds, the tests, the fuzzers, the benchmarks,
# the demo and the setup program (NSIS) need on a bare Debian 12 machine.
# Idempotent: when everything is there already it checks and returns quietly.
set -euo pipefail

native_pkgs=(cmake ninja-build g++ clang libclang-rt-14-dev googletest libgtest-dev
  libbenchmark-dev zlib1g-dev libzip-dev libminizip-dev zip unzip default-jdk-headless
  python3 nlohmann-json3-dev g++-mingw-w64-i686 mingw-w64-tools libz-mingw-w64-dev binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  xvfb xauth wine wine64 nsis)
i386_pkgs=(wine32:i386)

missing=()
for p in "${native_pkgs[@]}" "${i386_pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
echo "setup: installing ${missing[*]}" >&2
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq >/dev/null
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "setup: done" >&2
