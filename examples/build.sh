#!/usr/bin/env bash
# build.sh EXAMPLE_DIR OUT.jar: compiles the example's Java sources and packs
# them with its shell-meta-inf/ members into a runnable jar with the JDK's jar.
set -euo pipefail
src=$(cd "${1:?usage: build.sh EXAMPLE_DIR OUT.jar}" && pwd)
out=${2:?usage: build.sh EXAMPLE_DIR OUT.jar}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/classes"
javac -d "$work/classes" $(find "$src/src" -name '*.java')
[ -d "$src/shell-meta-inf" ] && cp -r "$src/shell-meta-inf" "$work/classes/"
# Some members (the icon) are generated rather than committed.
[ -x "$src/generate.sh" ] && "$src/generate.sh" "$work/classes"
main=$(cat "$src/main-class")
mkdir -p "$(dirname "$out")"
jar --create --file "$out" --main-class "$main" -C "$work/classes" .
