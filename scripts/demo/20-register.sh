# Registration as an administrator does it: regsvr32 on the DLL in the demo's
# private prefix, then the entries it wrote as `reg query` shows them. From
# here on the shell host creates the object through the registered class
# (CoCreateInstance), as the shell does.
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

section "wine regsvr32 $(winpath "$BUILD/bin/Morvane.dll")"
rc=0
# A failed registration shows a message box; the time limit keeps the demo
# from waiting for it for ever.
timeout 120 wine regsvr32 "$(winpath "$BUILD/bin/Morvane.dll")" >"$DEMO_OUT/regsvr32.out" 2>&1 </dev/null || rc=$?
tr -d '\r' <"$DEMO_OUT/regsvr32.out"
echo "regsvr32 exit code: $rc"
if [ "$rc" != 0 ]; then
  echo "registration failed: the rest of the demo needs the registered class" >&2
  return 1
fi

section "reg query the class key: $CLASS_KEY /s"
regtool query "$CLASS_KEY" /s
section "reg query the shell's approval list: $APPROVED /v $CLASS_TEXT"
regtool query "$APPROVED" /v "$CLASS_TEXT"
section "reg query the file type: HKCR\\jarfile /s"
regtool query 'HKCR\jarfile' /s

export SHELLHOST_OPTS=--registered
for jar in "$EXAMPLES_OUT"/*.jar; do
  section "shellhost --registered probe $(basename "$jar") (CoCreateInstance of the registered class)"
  shellhost probe "$jar"
  break
done
