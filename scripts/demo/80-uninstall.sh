# Removing it as "Apps & features" or a deployment tool does, silently: the
# entry's QuietUninstallString. The uninstaller returns when it is done, with
# its exit code; each DLL unregisters itself and the last one puts the former
# default icon back. Only uninstall.exe and its folder stay until the next
# restart, which the demo then plays with wineboot -r.
if wine32_available; then
  section "the entry's QuietUninstallString: $(regtool query "$UNINSTALL_KEY" /v QuietUninstallString /reg:64 | sed -n 's/.*REG_SZ *//p')"
  rc=0
  timeout 120 wine "C:\\Program Files\\Morvane\\uninstall.exe" /S >"$DEMO_OUT/uninstall.out" 2>&1 </dev/null || rc=$?
  echo "uninstaller exit code: $rc"
  show_installation
  section "the setup log, %TEMP%\\Morvane-setup.log"
  cat "$(ls -d "$WINEPREFIX"/drive_c/users/*/Temp | head -1)/Morvane-setup.log" 2>/dev/null || echo "(no log)"
  section "after a restart (wineboot -r)"
  wine wineboot -r >/dev/null 2>&1 </dev/null || true
  for folder in "${FOLDERS[@]}"; do
    [ -d "$folder" ] && ls -l "$folder" | tail -n +2 || echo "(no such folder)"
  done
else
  section "regsvr32 /u /s (64-bit): the DLL unregisters itself and puts the former icon back"
  wine regsvr32 /u /s 'C:\\Program Files\\Morvane\\Morvane.dll' >"$DEMO_OUT/uninstall.out" 2>&1 </dev/null || true
  rm -rf "${FOLDERS[0]}"
  show_installation
fi
