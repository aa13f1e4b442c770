#!/usr/bin/env bash
# The main job for a newcomer: installs what is missing, builds the DLL and the
# shell host, builds the example jars with the JDK's jar, registers Morvane.dll
# in a private Wine prefix and shows what the Windows shell would show for the
# example jars: interfaces, registry entries, icons, tooltips, drops, the
# Version page. Each part lives in scripts/demo/NN-name.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/setup.sh
if [ -z "${DISPLAY:-}" ]; then
  # Property sheets and message boxes need a display; the whole demo runs in one.
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi

BUILD="$root/build/win32"
echo "== building the Windows tree ($BUILD)"
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
ninja -C "$BUILD" Morvane shellhost morvane-inspect >/dev/null

. scripts/wine-env.sh "$BUILD"
DEMO_OUT="$BUILD/demo"
EXAMPLES_OUT="$DEMO_OUT/examples"
rm -rf "$DEMO_OUT"; mkdir -p "$EXAMPLES_OUT"
export BUILD DEMO_OUT EXAMPLES_OUT

# The class identifier and its key as the DLL registers them, from the one
# header that defines them.
CLASS_TEXT=$(sed -n 's/^#define CLSID_JARICON_TEXT "\(.*\)"$/\1/p' src/com/ClassIdentity.h)
CLASS_KEY="HKCR\\CLSID\\$CLASS_TEXT"
export CLASS_TEXT CLASS_KEY

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
# The shell host (after registration with --registered, see 20-register.sh).
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
