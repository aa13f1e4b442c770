# Sourced: the environment of the private Wine prefix of a Windows build tree.
# usage: . scripts/wine-env.sh BUILD_DIR
_build=$(cd "${1:?wine-env.sh needs the build dir}" && pwd)
export WINEPREFIX="$_build/wineprefix"
# The prefix has the bitness of the tree's programs (the file is written by
# CMake): a 64-bit prefix runs the 32-bit programs too, under WoW64.
export WINEARCH=$(cat "$_build/wine-arch" 2>/dev/null || echo win32)
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe,mscoree,mshtml=d"
unset _build

# Whether Wine can run 32-bit programs: Debian's 64-bit Wine runs without
# its 32-bit part (wine32:i386), and /usr/bin/wine then falls back to wine64.
wine32_available() {
  [ -x /usr/lib/wine/wine ] || [ -x /usr/lib/i386-linux-gnu/wine/wine ]
}

# Creates the prefix when missing and starts a persistent wineserver. Wine's
# first process leaves background processes that inherit its output, so its
# output goes to a file, never into a pipe that a caller is reading.
wine_start() {
  mkdir -p "$WINEPREFIX"
  # A server left over from an earlier run may belong to a display that is
  # gone; windows and message boxes would then fail. Start afresh.
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >"$WINEPREFIX/../wineboot.log" 2>&1 </dev/null
  fi
  wineserver -p >/dev/null 2>&1 </dev/null || true
  # wineboot again makes sure the desktop and services run on this display.
  wine wineboot >/dev/null 2>&1 </dev/null || true
  # A 64-bit prefix made without 32-bit Wine can lack the shell's list of
  # approved extensions (its 32-bit part of wineboot cannot run); Windows
  # always has it, and registration writes into it.
  local view
  for view in 32 64; do
    wine reg add 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved' /reg:$view /f \
      >/dev/null 2>&1 </dev/null || true
  done
}

wine_stop() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
}
