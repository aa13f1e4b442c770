#!/usr/bin/env bash
# check_dll.sh Morvane.dll OBJDUMP FORMAT: the DLL is of the tree's bitness
# (FORMAT as objdump names it: pei-i386, pei-x86-64), exports exactly the four
# COM entry points by their plain names and imports nothing but Windows system
# DLLs.
set -euo pipefail
dll=$1 objdump=$2 format=$3
dump=$("$objdump" -p "$dll")
got_format=$(sed -n 's/.*file format \(.*\)$/\1/p' <<<"$dump" | head -1)
if [ "$got_format" != "$format" ]; then echo "file format: got '$got_format', want '$format'"; exit 1; fi
exports=$(awk '/\[Ordinal\/Name Pointer\] Table/{f=1;next} f&&/^[ \t]*\[/{print $NF;next} f{exit}' <<<"$dump" | sort | tr '\n' ' ')
want="DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer "
if [ "$exports" != "$want" ]; then echo "exports: got '$exports', want '$want'"; exit 1; fi
imports=$(awk '/DLL Name:/{print toupper($3)}' <<<"$dump" | sort -u | tr '\n' ' ')
allowed=" KERNEL32.DLL USER32.DLL ADVAPI32.DLL SHELL32.DLL OLE32.DLL COMCTL32.DLL GDI32.DLL MSVCRT.DLL "
for d in $imports; do
  case "$allowed" in *" $d "*) ;; *) echo "imports a non-system DLL: $d (all: $imports)"; exit 1;; esac
done
echo "format: $got_format"
echo "exports: $exports"
echo "imports: $imports"
