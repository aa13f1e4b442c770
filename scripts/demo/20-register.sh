# Registration as an administrator does it on a 64-bit Windows: regsvr32 on
# each DLL, the 32-bit one by the 32-bit regsvr32 (SysWOW64), the 64-bit one by
# the 64-bit regsvr32 (System32), then the entries they wrote as `reg query`
# shows them in both registry views. From here on the shell host creates the
# object through the registered class (CoCreateInstance), as the shell does.
APPROVED='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved'

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

# regsvr32_dll LABEL COMMAND... DLL: one registration; a failed one shows a
# message box, and the time limit keeps the demo from waiting for it for ever.
regsvr32_dll() {
  local label=$1; shift
  section "$label: $* (the ${label%% *} view)"
  local rc=0
  timeout 120 "$@" >"$DEMO_OUT/regsvr32.out" 2>&1 </dev/null || rc=$?
  tr -d '\r' <"$DEMO_OUT/regsvr32.out"
  echo "regsvr32 exit code: $rc"
  [ "$rc" = 0 ] || echo "registration failed: the rest of the demo needs the registered class" >&2
  return $rc
}
regsvr32_dll "32-bit DLL" wine regsvr32 "$(winpath "$BUILD32/bin/Morvane.dll")" || return 1
regsvr32_dll "64-bit DLL" /usr/lib/wine/wine64 regsvr32 "$(winpath "$BUILD/bin/Morvane.dll")" || return 1

# What is ours in the registry: the class key and the approval entry in each
# view (reg fails, and says so, where there is none), and the file type that
# both views share.
show_registry() {
  local view
  for view in 32 64; do
    section "reg query the class key in the $view-bit view: $CLASS_KEY /s /reg:$view"
    regtool query "$CLASS_KEY" /s /reg:$view || true
    section "reg query the shell's approval list in the $view-bit view: $APPROVED /v $CLASS_TEXT /reg:$view"
    regtool query "$APPROVED" /v "$CLASS_TEXT" /reg:$view || true
  done
  section "reg query the file type, one key for both views: HKCR\\jarfile /s"
  regtool query 'HKCR\jarfile' /s
}
show_registry

export SHELLHOST_OPTS=--registered
for jar in "$EXAMPLES_OUT"/*.jar; do
  section "shellhost --registered probe $(basename "$jar") (CoCreateInstance of the registered class)"
  shellhost probe "$jar"
  break
done
