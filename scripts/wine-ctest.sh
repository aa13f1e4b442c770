#!/usr/bin/env bash
# wine-ctest.sh BUILD_DIR [CTEST_ARGS...]: runs the Windows tests of a build tree
# under Wine in its private prefix, inside one X display (xvfb-run), with a
# persistent wineserver that is stopped before the display goes away.
# Where Wine has no 32-bit part (wine32 not installed), the tests labelled
# wine32 are left out, and BUILD_DIR/test-results/skipped.txt names them.
set -euo pipefail
build=$(cd "${1:?usage: wine-ctest.sh BUILD_DIR [CTEST_ARGS...]}" && pwd); shift
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$build" "$@"
fi
. "$here/wine-env.sh" "$build"
exclude=()
if ! wine32_available; then
  exclude=(-LE wine32)
  mkdir -p "$build/test-results"
  ctest --test-dir "$build" -N -L wine32 -FA "." | sed -n 's/^ *Test *#[0-9]*: \(.*\)$/\1 (needs 32-bit Wine, which is not installed)/p' \
    >"$build/test-results/skipped.txt"
  skipped=$(wc -l <"$build/test-results/skipped.txt")
  [ "$skipped" -gt 0 ] && echo "wine-ctest: no 32-bit Wine here, skipping $skipped tests of $build" >&2
fi
status=0
if [ "$WINEARCH" = win32 ] && ! wine32_available; then
  # Only the tests that need no Wine at all (the fixtures, the DLL check).
  ctest --test-dir "$build" "${exclude[@]}" "$@" || status=$?
  exit $status
fi
wine_start
ctest --test-dir "$build" "${exclude[@]}" "$@" || status=$?
wine_stop
exit $status
