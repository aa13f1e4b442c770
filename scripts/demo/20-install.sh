# Installation as an administrator deploys it on a 64-bit Windows: the setup
# program, silently (/S). It puts the 64-bit DLL into C:\Program Files\Morvane
# and the 32-bit one into C:\Program Files (x86)\Morvane, has each registered
# by the regsvr32 of its bitness, and adds the "Apps & features" entry. Then
# the files, the entry and what the DLLs wrote, as `reg query` shows them in
# both registry views. From here on the shell host creates the object through
# the registered class (CoCreateInstance), as the shell does.
APPROVED='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved'
UNINSTALL_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Morvane'
FOLDERS=("$WINEPREFIX/drive_c/Program Files/Morvane" "$WINEPREFIX/drive_c/Program Files (x86)/Morvane")

section "the .jar association (a fresh Wine prefix has none; a Java installer would create it)"
if regtool query 'HKCR\.jar' /ve >/dev/null; then
  echo "HKCR\\.jar exists already:"
  regtool query 'HKCR\.jar' /ve
else
  regtool add 'HKCR\.jar' /ve /t REG_SZ /d jarfile /f >/dev/null
  echo "created HKCR\\.jar = jarfile"
fi
if ! regtool query 'HKCR\jarfile\DefaultIcon' /ve >/dev/null; then
  # The icon a Java installer sets: registration saves it and puts it back at
  # unregistration.
  regtool add 'HKCR\jarfile\DefaultIcon' /ve /t REG_EXPAND_SZ /d '%ProgramFiles%\Java\jre\bin\javaw.exe,0' /f >/dev/null
  echo "created HKCR\\jarfile\\DefaultIcon = %ProgramFiles%\\Java\\jre\\bin\\javaw.exe,0 (REG_EXPAND_SZ)"
fi

if wine32_available; then
  section "$(basename "$SETUP") /S (silent, as a deployment tool runs it)"
  # A failed registration shows the DLL's message box: the time limit keeps the
  # demo from waiting for it for ever.
  rc=0
  timeout 120 wine "$SETUP" /S >"$DEMO_OUT/setup.out" 2>&1 </dev/null || rc=$?
  echo "setup exit code: $rc"
  [ "$rc" = 0 ] || { echo "setup failed: the rest of the demo needs the installed extension" >&2; return 1; }
else
  # The setup program and the 32-bit DLL are 32-bit programs, which this Wine
  # cannot run: the 64-bit DLL goes where the setup program puts it and the
  # 64-bit regsvr32 registers it, as an administrator would by hand.
  section "no 32-bit Wine here: the 64-bit DLL installed by hand, regsvr32 /s (64-bit)"
  mkdir -p "${FOLDERS[0]}"
  cp "$BUILD/bin/Morvane.dll" "$BUILD/bin/morvane-inspect.exe" "${FOLDERS[0]}/"
  rc=0
  wine regsvr32 /s 'C:\Program Files\Morvane\Morvane.dll' >"$DEMO_OUT/setup.out" 2>&1 </dev/null || rc=$?
  echo "regsvr32 exit code: $rc"
  [ "$rc" = 0 ] || { echo "registration failed: the rest of the demo needs the registered extension" >&2; return 1; }
fi

# The installed files, the "Apps & features" entry (in the 64-bit view), and
# what is ours in the registry: the class key and the approval entry in each
# view (reg fails, and says so, where there is none), and the file type that
# both views share.
show_installation() {
  local view folder
  for folder in "${FOLDERS[@]}"; do
    section "files in C:\\$(printf '%s' "${folder#"$WINEPREFIX"/drive_c/}" | tr / '\\')"
    if [ -d "$folder" ]; then ls -l "$folder" | tail -n +2; else echo "(no such folder)"; fi
  done
  section "reg query the \"Apps & features\" entry: $UNINSTALL_KEY /reg:64"
  regtool query "$UNINSTALL_KEY" /reg:64 || true
  for view in 32 64; do
    section "reg query the class key in the $view-bit view: $CLASS_KEY /s /reg:$view"
    regtool query "$CLASS_KEY" /s /reg:$view || true
    section "reg query the shell's approval list in the $view-bit view: $APPROVED /v $CLASS_TEXT /reg:$view"
    regtool query "$APPROVED" /v "$CLASS_TEXT" /reg:$view || true
  done
  section "reg query the file type, one key for both views: HKCR\\jarfile /s"
  regtool query 'HKCR\jarfile' /s
}
show_installation

export SHELLHOST_OPTS=--registered
for jar in "$EXAMPLES_OUT"/*.jar; do
  section "shellhost --registered probe $(basename "$jar") (CoCreateInstance of the registered class)"
  shellhost probe "$jar"
  break
done
