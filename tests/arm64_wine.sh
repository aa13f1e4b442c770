#!/usr/bin/env bash
# arm64_wine.sh WINE_ROOT BUILD_DIR FIXTURES start|stop|run PROGRAM [ARGS...]:
# the ARM64 prefix of build/arm64 under qemu-aarch64, with Debian's arm64 Wine
# unpacked in WINE_ROOT by scripts/arm64-wine.sh. "start" makes the prefix
# when it is missing and leaves a wineserver running for the tests; "run"
# runs one of the tree's programs there; "stop" ends the server.
# qemu-user looks up every absolute path in WINE_ROOT first (-L), so what
# drive Z: shows is a mix of Wine's unpacked tree and this machine's: the
# programs reach the tree and the fixtures through C:\build and C:\fixtures,
# links on the prefix's C: drive.
set -euo pipefail
root=$1 build=$2 fixtures=$3 command=$4
shift 4
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe,mscoree,mshtml=d"
wine=$root/usr/lib/wine/wine64
server=$root/usr/lib/wine/wineserver
case $command in
  start)
    "$server" -k >/dev/null 2>&1 || true
    # The server first, so that wineboot and every test use the one.
    mkdir -p "$WINEPREFIX"
    "$server" -p >/dev/null 2>&1 </dev/null
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      timeout 300 "$wine" wineboot -i >"$build/wineboot.log" 2>&1 </dev/null
    fi
    ln -sfn "$build" "$WINEPREFIX/drive_c/build"
    ln -sfn "$fixtures" "$WINEPREFIX/drive_c/fixtures"
    # A program that crashes ends at once: winedbg cannot attach under qemu
    # and would wait, keeping the test from ending. A debugger that cannot
    # be started ends the crashed program.
    "$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger \
      /d 'C:\windows\no-debugger.exe' /f >/dev/null 2>&1 </dev/null
    "$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /d 1 /f \
      >/dev/null 2>&1 </dev/null
    # The shell's list of approved extensions, which registration writes into.
    "$wine" reg add 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved' /f \
      >/dev/null 2>&1 </dev/null
    ;;
  stop)
    "$server" -k >/dev/null 2>&1 || true
    ;;
  run)
    program=$1
    shift
    exec "$wine" "C:\\build\\bin\\$program" "$@"
    ;;
  *) echo "arm64_wine: unknown command $command" >&2; exit 2 ;;
esac
