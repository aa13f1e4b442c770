#!/usr/bin/env bash
# The program registered for .jar files in the Wine prefixes of the tests and
# the demo (HKCR\jarfile\shell\open\command = "Z:\...\java-launcher.sh" "%1" %*):
# Wine starts it as a Linux program with the command line split into
# arguments, and it runs the real JVM. The archive after -jar and the name list
# file in -Dorg.morvane.start.filenames= are Windows paths the JVM cannot open,
# so they are mapped to Unix paths with winepath; the program's own arguments
# (the dropped names) pass unchanged. JAVA overrides the java program.
set -u
export LC_ALL=C.UTF-8  # the JVM decodes its arguments as the locale says

unixPath() {
  local mapped
  if mapped=$(winepath -u "$1" 2>/dev/null) && [ -n "$mapped" ]; then
    printf '%s' "$mapped"
  else
    printf '%s' "$1"
  fi
}

property=-Dorg.morvane.start.filenames=
args=()
while [ $# -gt 0 ]; do
  case "$1" in
    "$property"*) args+=("$property$(unixPath "${1#"$property"}")") ;;
    -jar)
      [ $# -ge 2 ] || break
      args+=(-jar "$(unixPath "$2")")
      shift 2
      break  # the rest belongs to the Java program
      ;;
    *) args+=("$1") ;;
  esac
  shift
done
exec "${JAVA:-java}" "${args[@]}" "$@"
