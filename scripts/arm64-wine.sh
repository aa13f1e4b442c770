#!/usr/bin/env bash
# arm64-wine.sh ROOT: unpacks Debian's arm64 Wine 8 with its dependencies into
# ROOT (nothing installed system-wide: the packages come through apt-get
# download with private package lists, unpacked with dpkg -x) so that the
# ARM64 programs of build/arm64 run under qemu-aarch64 (Debian's qemu-user).
# qemu-user cannot start a foreign program by itself here (no binfmt_misc), so
# the arm64 wine64 and wineserver are replaced by scripts that run them under
# qemu-aarch64. Prints the wine64 to run; exits non-zero when any of it cannot
# be had. Idempotent.
set -euo pipefail
root=$(mkdir -p "$1" && cd "$1" && pwd)
wine=$root/usr/lib/wine/wine64
if [ -f "$root/.complete" ]; then echo "$wine"; exit 0; fi
command -v qemu-aarch64 >/dev/null || { echo "arm64-wine: qemu-aarch64 is not installed (qemu-user)" >&2; exit 1; }
apt=$root/.apt
mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/debs"
cat >"$apt/debian.sources" <<SRC
Types: deb
URIs: $(sed -n 's/^URIs: *//p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -1)
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
opts=(-o APT::Architecture=arm64 -o APT::Architectures::=arm64 -o Dir::Etc::SourceList="$apt/debian.sources"
  -o Dir::Etc::SourceParts=/nonexistent -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache"
  -o Dir::State::status=/dev/null)
apt-get "${opts[@]}" update -qq >/dev/null
# Wine's own packages and what they need; the fonts, debconf and the like are
# of no use to the programs that run here.
mapfile -t pkgs < <(apt-cache "${opts[@]}" depends --recurse --no-recommends --no-suggests --no-conflicts \
  --no-breaks --no-replaces --no-enhances wine64 libwine 2>/dev/null | grep -v '^[ <]' | sort -u \
  | grep -Ev '^(fonts-|debconf|cdebconf|dpkg|install-info|perl|iso-codes|ucf|sensible-utils)' || true)
(cd "$apt/debs" && apt-get "${opts[@]}" download -qq "${pkgs[@]}" >/dev/null)
for d in "$apt/debs"/*.deb; do dpkg -x "$d" "$root"; done
# The real binaries under other names, the scripts in their place.
for b in wine64 wineserver64; do
  real=$root/usr/lib/wine/$b
  [ -f "$real.real" ] || mv "$real" "$real.real"
  printf '#!/bin/sh\nexec qemu-aarch64 -L %s -0 %s %s.real "$@"\n' "$root" "$real" "$real" >"$real"
  chmod +x "$real"
done
# Debian's wineserver script starts /usr/lib/wine/wineserver64 by its absolute
# path, the build machine's own: Wine finds the one beside its loader, which
# must be the arm64 one.
cp "$root/usr/lib/wine/wineserver64" "$root/usr/lib/wine/wineserver"
touch "$root/.complete"
echo "$wine"
