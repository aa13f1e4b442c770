#!/usr/bin/env bash
# The main job for a newcomer: installs what is missing, builds the setup
# program (scripts/package.sh) and the 64-bit shell host, builds the example
# jars with the JDK's jar, runs the setup silently in a private 64-bit Wine
# prefix, as on a 64-bit Windows (both DLLs, each registered in its own
# registry view), and shows what 64-bit Explorer would show for the example
# jars: interfaces, registry entries of both views, icons, tooltips, drops,
# the Version page; at the end the uninstaller takes it all away again. Each
# part lives in scripts/demo/NN-name.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/setup.sh
if [ -z "${DISPLAY:-}" ]; then
  # Property sheets and message boxes need a display; the whole demo runs in one.
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi

# The 64-bit tree's prefix is 64-bit: its shell host plays 64-bit Explorer,
# and the 32-bit DLL serves the 32-bit programs there, under WoW64.
BUILD="$root/build/win64"
echo "== building the setup program"
SETUP=$(bash scripts/package.sh)
echo "== building the shell host ($BUILD)"
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" >/dev/null
ninja -C "$BUILD" Morvane shellhost >/dev/null

. scripts/wine-env.sh "$BUILD"
DEMO_OUT="$BUILD/demo"
EXAMPLES_OUT="$DEMO_OUT/examples"
rm -rf "$DEMO_OUT"; mkdir -p "$EXAMPLES_OUT"
export BUILD SETUP DEMO_OUT EXAMPLES_OUT

# The class identifier and its key as the DLL registers them, from the one
# header that defines them.
CLASS_TEXT=$(sed -n 's/^#define CLSID_JARICON_TEXT "\(.*\)"$/\1/p' src/com/ClassIdentity.h)
CLASS_KEY="HKCR\\CLSID\\$CLASS_TEXT"
# reg.exe under wine is the 32-bit one: this option makes it read and write
# the 64-bit view, where the 64-bit DLL's class and configuration live.
VIEW64=/reg:64
export CLASS_TEXT CLASS_KEY VIEW64

section() { printf '\n== %s\n' "$*"; }
# A Windows program under Wine; its output goes through a file, never a pipe
# that Wine's background processes could keep open. Prints it, keeps the status.
wine_run() {
  local out="$DEMO_OUT/wine-run.out"
  local rc=0
  wine "$@" >"$out" 2>&1 </dev/null || rc=$?
  tr -d '\r' <"$out"
  return $rc
}
# The shell host (after the installation with --registered, see 20-install.sh).
shellhost() { wine_run "$BUILD/bin/shellhost.exe" ${SHELLHOST_OPTS:-} "$@"; }
# Wine's reg.exe.
regtool() { wine_run reg "$@"; }
# Unix path -> the path Windows programs see under Wine.
winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }

section "building the example jars"
for dir in examples/*/; do
  name=$(basename "$dir")
  bash examples/build.sh "$dir" "$EXAMPLES_OUT/$name.jar"
  echo "$EXAMPLES_OUT/$name.jar"
done

section "private Wine prefix: $WINEPREFIX"
wine_start
trap wine_stop EXIT

for part in scripts/demo/[0-9]*.sh; do
  . "$part"
done
section "done"
