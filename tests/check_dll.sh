#!/usr/bin/env bash
# check_dll.sh Morvane.dll OBJDUMP FORMAT: the DLL is of the tree's processor
# (FORMAT as objdump names it: pei-i386, pei-x86-64, or coff-arm64 as
# llvm-objdump names ARM64 files, which binutils cannot read), exports exactly
# the four COM entry points by their plain names and imports nothing but
# Windows system DLLs.
set -euo pipefail
dll=$1 objdump=$2 format=$3
case $format in
  pei-i386) machine=014c ;;
  pei-x86-64) machine=8664 ;;
  coff-arm64) machine=aa64 ;;
  *) echo "unknown format $format"; exit 2 ;;
esac
# The PE header's machine field: the header starts at the offset held at 0x3c,
# after the four bytes "PE\0\0".
pe=$(od -An -tu4 -j60 -N4 "$dll" | tr -d ' ')
got_machine=$(od -An -tx2 -j$((pe + 4)) -N2 "$dll" | tr -d ' ')
if [ "$got_machine" != "$machine" ]; then echo "machine: got 0x$got_machine, want 0x$machine"; exit 1; fi
dump=$("$objdump" -p "$dll")
got_format=$(sed -n 's/.*file format \(.*\)$/\1/p' <<<"$dump" | head -1)
if [ "$got_format" != "$format" ]; then echo "file format: got '$got_format', want '$format'"; exit 1; fi
if [ "$format" = coff-arm64 ]; then
  # llvm-objdump: "Export Table:", a header line "Ordinal RVA Name", then one
  # line per export.
  exports=$(awk '/^Export Table:/{f=1;next} f&&/Ordinal +RVA +Name/{g=1;next} g&&NF>=3{print $NF;next} g{exit}' <<<"$dump" | sort | tr '\n' ' ')
else
  exports=$(awk '/\[Ordinal\/Name Pointer\] Table/{f=1;next} f&&/^[ \t]*\[/{print $NF;next} f{exit}' <<<"$dump" | sort | tr '\n' ' ')
fi
want="DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer "
if [ "$exports" != "$want" ]; then echo "exports: got '$exports', want '$want'"; exit 1; fi
imports=$(awk '/DLL Name:/{print toupper($3)}' <<<"$dump" | sort -u | tr '\n' ' ')
allowed=" KERNEL32.DLL USER32.DLL ADVAPI32.DLL SHELL32.DLL OLE32.DLL COMCTL32.DLL GDI32.DLL MSVCRT.DLL "
for d in $imports; do
  case "$allowed" in *" $d "*) ;; *) echo "imports a non-system DLL: $d (all: $imports)"; exit 1;; esac
done
echo "machine: 0x$got_machine"
echo "format: $got_format"
echo "exports: $exports"
echo "imports: $imports"
