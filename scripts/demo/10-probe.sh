# The object as the shell creates it, with the debug log switched on.
section "debug log on: $CLASS_KEY\\config debugLog = \"1\""
wine reg add "$CLASS_KEY\\config" /v debugLog /t REG_SZ /d 1 /f $VIEW64 >/dev/null 2>&1
rm -f "$WINEPREFIX/drive_c/morvane.log"

for jar in "$EXAMPLES_OUT"/*.jar; do
  section "shellhost probe $(basename "$jar")"
  shellhost probe "$jar"
done

section "the debug log (c:\\morvane.log) the DLL wrote meanwhile"
tr -d '\r' <"$WINEPREFIX/drive_c/morvane.log" | sed 's/\t/ | /g'
