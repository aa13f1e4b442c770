# morvane-inspect: what Windows shows for a jar, worked out on Linux by the
# extension's own code, and --check for the jar's author: both example jars
# (nothing to report), a deliberately broken one, and the JSON for CI. Then
# the Windows program that setup installed beside the DLL, under Wine, which
# answers the same.
NATIVE="$root/build/native"
section "building morvane-inspect, the Linux program ($NATIVE)"
cmake -S "$root" -B "$NATIVE" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
ninja -C "$NATIVE" morvane-inspect >/dev/null
INSPECT="$NATIVE/bin/morvane-inspect"

for jar in "$EXAMPLES_OUT"/*.jar; do
  section "morvane-inspect --check $(basename "$jar")"
  "$INSPECT" --check "$jar" || echo "(exit status $?)"
done

section "morvane-inspect --check broken.jar: a jar with many mistakes"
python3 "$root/tests/fixtures/make_checks.py" "$DEMO_OUT/inspect" >/dev/null
"$INSPECT" --check "$DEMO_OUT/inspect/broken.jar" || echo "(exit status $?: problems found)"

section "what a build step sees: the JSON of hello.jar for one locale, and a file that is no jar"
"$INSPECT" --json --check --lcid 0x0C07 "$EXAMPLES_OUT/hello.jar" "$DEMO_OUT/inspect/nonzip.jar" \
  || echo "(exit status $?: a jar could not be read)"

section "C:\\Program Files\\Morvane\\morvane-inspect.exe, the Windows program, on hello.jar under Wine (Austrian German)"
wine_run 'C:\Program Files\Morvane\morvane-inspect.exe' --locale de_AT --drop 'C:\Users\me\Documents\Brief an Anna.txt' \
  "$(winpath "$EXAMPLES_OUT/hello.jar")"
