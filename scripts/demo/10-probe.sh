# The object as the shell creates it, with the debug log switched on.
section "debug log on: HKCR\\CLSID\\{5C2B91E4-7A06-4d3f-9E18-B40C6A2F7D95}\\config debugLog = \"1\""
wine reg add 'HKCR\CLSID\{5C2B91E4-7A06-4d3f-9E18-B40C6A2F7D95}\config' /v debugLog /t REG_SZ /d 1 /f >/dev/null 2>&1
rm -f "$WINEPREFIX/drive_c/morvane.log"

for jar in "$EXAMPLES_OUT"/*.jar; do
  section "shellhost probe $(basename "$jar")"
  shellhost probe "$jar"
done

section "the debug log (c:\\morvane.log) the DLL wrote meanwhile"
tr -d '\r' <"$WINEPREFIX/drive_c/morvane.log" | sed 's/\t/ | /g'
