#!/usr/bin/env bash
# arm64_emulated.sh WINE_ROOT BUILD_DIR SOURCE_DIR: the ARM64 DLL in an ARM64
# Wine prefix under qemu-aarch64 (WINE_ROOT from scripts/arm64-wine.sh): it
# registers itself through the ARM64 regsvr32, and the ARM64 shell host shows
# an example jar's tooltip and its icons through the registered class. Files go on the
# prefix's C: drive.
set -euo pipefail
root=$1 build=$2 src=$3
wine=$root/usr/lib/wine/wine64
export WINEPREFIX=$build/arm64-emulated/prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
rm -rf "$build/arm64-emulated" && mkdir -p "$build/arm64-emulated"
trap 'WINEPREFIX=$WINEPREFIX "$root/usr/lib/wine/wineserver" -k 2>/dev/null || true' EXIT
exec 3>&2
step() { local t=$SECONDS; timeout 300 "$@"; echo "$((SECONDS - t)) s: ${*: -2}" >&3; }
step "$wine" wineboot -i >/dev/null 2>&1
c=$WINEPREFIX/drive_c/morvane
mkdir -p "$c"
cp "$build/bin/Morvane.dll" "$build/bin/shellhost.exe" "$c/"
bash "$src/examples/build.sh" "$src/examples/hello" "$c/hello.jar"
step "$wine" regsvr32 /s 'C:\morvane\Morvane.dll' >/dev/null 2>&1
got=$(step "$wine" 'C:\morvane\shellhost.exe' --registered tip 'C:\morvane\hello.jar' 2>/dev/null | tr -d '\r')
want=$'Hello: greets every file you drop onto it.\nDrop files onto the jar to see their names.'
if [ "$got" != "$want" ]; then printf 'tip: got\n%s\nwant\n%s\n' "$got" "$want"; exit 1; fi
echo "tip through the registered class: ok"
# The icon report is wide formatted output, which in the ARM64 programs goes
# through cmake/zig/ms_fwprintf.c.
icon=$(step "$wine" 'C:\morvane\shellhost.exe' --registered icon 'C:\morvane\hello.jar' 2>/dev/null | tr -d '\r')
if [ "$(grep -c "stage 1, the jar's icon.ico entry" <<<"$icon")" != 2 ]; then printf 'icon: got\n%s\n' "$icon"; exit 1; fi
echo "icon through the registered class: ok"
