#!/usr/bin/env bash
# generate.sh CLASSES_DIR: draws the example's icon into the jar's tree as
# shell-meta-inf/icons/icon.ico.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$1/shell-meta-inf/icons"
python3 "$here/../make_icon.py" lister "$1/shell-meta-inf/icons/icon.ico"
