#!/usr/bin/env bash
# wine-ctest.sh BUILD_DIR [CTEST_ARGS...]: runs the Windows tests of a build tree
# under Wine in its private prefix, inside one X display (xvfb-run), with a
# persistent wineserver that is stopped before the display goes away.
set -euo pipefail
build=$(cd "${1:?usage: wine-ctest.sh BUILD_DIR [CTEST_ARGS...]}" && pwd); shift
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$build" "$@"
fi
. "$here/wine-env.sh" "$build"
wine_start
status=0
ctest --test-dir "$build" "$@" || status=$?
wine_stop
exit $status
