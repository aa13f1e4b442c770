#!/usr/bin/env bash
# Installs everything the three builds, the tests, the fuzzers, the benchmarks,
# the demo and the setup program (NSIS; osslsigncode signs it, 7-Zip unpacks it
# for the signing test) need on a bare Debian 12 machine.
# Idempotent: when everything is there already it checks and returns quietly.
# The ARM64 tree's compiler comes from npm (scripts/setup-arm64.sh), after the
# Debian packages; it never fails this script.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
trap 'bash "$here/setup-arm64.sh" >/dev/null || true' EXIT

native_pkgs=(cmake ninja-build g++ clang libclang-rt-14-dev googletest libgtest-dev
  libbenchmark-dev zlib1g-dev libzip-dev libminizip-dev zip unzip default-jdk-headless
  python3 python3-yaml nlohmann-json3-dev g++-mingw-w64-i686 mingw-w64-tools libz-mingw-w64-dev
  binutils-mingw-w64-i686 llvm-14
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  xvfb xauth wine wine64 nsis osslsigncode 7zip qemu-user
  libcommons-io-java libmaven-resolver-java)
i386_pkgs=(wine32:i386)

# wine32 runs the 32-bit DLL's tests; it is wanted, not required: when the
# distribution's i386 packages cannot be installed (an i386 index out of step
# with the amd64 one, as while a mirror syncs), the 32-bit suite is skipped
# and says so (scripts/wine-ctest.sh).
missing=()
for p in "${native_pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
missing_i386=()
for p in "${i386_pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing_i386+=("$p")
done
[ ${#missing[@]} -eq 0 ] && [ ${#missing_i386[@]} -eq 0 ] && exit 0
# An earlier attempt found the i386 packages uninstallable: do not try again
# on every run (the marker goes with the machine's package lists).
marker=/var/lib/apt/lists/morvane-no-i386
if [ ${#missing[@]} -eq 0 ] && [ -f "$marker" ] && [ "$marker" -nt /var/lib/apt/lists/partial ]; then
  exit 0
fi

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
echo "setup: installing ${missing[*]} ${missing_i386[*]}" >&2
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
# A list that fails to download (a mirror in the middle of a sync) leaves the
# others usable: go on and let the installs say what is missing.
$SUDO apt-get update -qq >/dev/null 2>&1 || echo "setup: some package lists could not be updated" >&2
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
# When the i386 index lags the amd64 one (or the other way round), a library
# the two architectures share must be at one version in both, and apt's
# resolver gives up on the whole set at once. Install wine32's i386 libraries
# one at a time, each with its amd64 twin moved to the same version, a few
# passes so that each finds its own dependencies there; only "Multi-Arch:
# same" libraries, never an i386 replacement of an amd64 tool, and never at
# the cost of removing one of the machine's packages (--no-remove).
align_i386() {
  local pkg=$1 closure p base v ma inst pass fails
  closure=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts \
    --no-breaks --no-replaces --no-enhances "$pkg" 2>/dev/null | grep -E '^[a-z0-9].*:i386$' | sort -u)
  for pass in 1 2 3 4 5; do
    fails=0
    for p in $closure; do
      dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' && continue
      v=$(apt-cache policy "$p" | awk '/Candidate/{print $2}')
      ma=$(apt-cache show "$p=$v" 2>/dev/null | awk '/^Multi-Arch/{print $2; exit}')
      [ "$ma" = same ] || continue
      base=${p%:i386}
      inst=$(dpkg-query -W -f='${Version}' "$base:amd64" 2>/dev/null || true)
      local twin=()
      [ -n "$inst" ] && [ "$inst" != "$v" ] && twin=("$base:amd64=$v")
      $SUDO apt-get install -y -qq --no-install-recommends --no-remove --allow-downgrades "$p=$v" "${twin[@]}" \
        >/dev/null 2>&1 || fails=$((fails + 1))
    done
    [ "$fails" -eq 0 ] && break
  done
  $SUDO apt-get install -y -qq --no-install-recommends --no-remove "$pkg" >/dev/null 2>&1
}
if [ ${#missing_i386[@]} -gt 0 ]; then
  if $SUDO apt-get install -y -qq --no-install-recommends "${missing_i386[@]}" >/dev/null 2>&1 ||
     { echo "setup: aligning the i386 libraries with the amd64 ones" >&2; align_i386 wine32:i386; }; then
    $SUDO rm -f "$marker"
  else
    echo "setup: ${missing_i386[*]} cannot be installed here; the 32-bit Windows tests will be skipped" >&2
    $SUDO touch "$marker" 2>/dev/null || true
  fi
fi
echo "setup: done" >&2
