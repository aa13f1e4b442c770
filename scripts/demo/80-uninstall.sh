# Removing it as "Apps & features" does, silently: the entry's
# QuietUninstallString. The uninstaller runs a copy of itself from the
# temporary folder and returns at once, so the demo waits until the entry is
# gone. Each DLL unregisters itself; the last one puts the former default icon
# back.
if wine32_available; then
  section "the entry's QuietUninstallString: $(regtool query "$UNINSTALL_KEY" /v QuietUninstallString /reg:64 | sed -n 's/.*REG_SZ *//p')"
  wine "C:\\Program Files\\Morvane\\uninstall.exe" /S >"$DEMO_OUT/uninstall.out" 2>&1 </dev/null || true
  for _ in $(seq 60); do
    regtool query "$UNINSTALL_KEY" /reg:64 >/dev/null || break
    sleep 0.5
  done
else
  section "regsvr32 /u /s (64-bit): the DLL unregisters itself and puts the former icon back"
  wine regsvr32 /u /s 'C:\\Program Files\\Morvane\\Morvane.dll' >"$DEMO_OUT/uninstall.out" 2>&1 </dev/null || true
  rm -rf "${FOLDERS[0]}"
fi
show_installation
