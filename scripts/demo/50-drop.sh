# Files dropped onto each example jar start its Java program through the .jar
# association: hello takes the dropped names on its command line, lister asks
# (in its shell-meta-inf/startoptions) for them in a name list file. Here the
# program that opens .jar files is tests/support/java-launcher.sh, which Wine
# runs as a Linux program and which starts the real JVM.
drop_launcher="\"$(winpath "$root/tests/support/java-launcher.sh")\" \"%1\" %*"
section "the program that opens .jar files (only what is missing is created)"
if regtool query 'HKCR\.jar' /ve >/dev/null; then
  echo "HKCR\\.jar exists already"
else
  regtool add 'HKCR\.jar' /ve /t REG_SZ /d jarfile /f >/dev/null
  echo "created HKCR\\.jar = jarfile"
fi
if regtool query 'HKCR\jarfile\shell\open\command' /ve >/dev/null; then
  echo "HKCR\\jarfile\\shell\\open\\command exists already:"
else
  regtool add 'HKCR\jarfile\shell\open\command' /ve /t REG_SZ /d "$drop_launcher" /f >/dev/null
  echo "created HKCR\\jarfile\\shell\\open\\command:"
fi
regtool query 'HKCR\jarfile\shell\open\command' /ve | sed -n 's/^ *(Default) *REG_SZ *//p' | sed 's/^/  /'

drop_dir="$DEMO_OUT/drop"
mkdir -p "$drop_dir"
drop_files=("$drop_dir/notes 2024.txt" "$drop_dir/Grüße.txt")
for f in "${drop_files[@]}"; do printf 'a file to drop\n' >"$f"; done

# name  width flag  what the example does with the names
for drop_case in "hello:" "lister:--wide"; do
  drop_name=${drop_case%%:*}
  drop_width=${drop_case#*:}
  drop_result="$drop_dir/$drop_name-received.txt"
  rm -f "$drop_result"
  section "shellhost drop $drop_name.jar, two files${drop_width:+ ($drop_width)}"
  # The example writes what it received to the file named in its environment,
  # which reaches it through Wine; Wine hands names to Linux programs in the
  # locale's character set, so that is UTF-8 here.
  (
    export MORVANE_EXAMPLE_RESULT="$drop_result" LC_ALL=C.UTF-8
    shellhost drop "$EXAMPLES_OUT/$drop_name.jar" "${drop_files[@]}" $drop_width
  ) || true
  # The JVM runs on its own once the drop has started it.
  for _ in $(seq 1 600); do [ -f "$drop_result" ] && break; sleep 0.1; done
  if [ -f "$drop_result" ]; then
    echo "-- what the Java program received:"
    sed 's/^/   /' "$drop_result"
  else
    echo "-- the Java program reported nothing within a minute"
  fi
done
