# The icons the shell gets for each example jar (IExtractIconA::Extract, as
# Explorer calls it): the sizes it asks for by default and a larger pair, the
# stage that made each icon, and PNG files of them. Then the fallbacks, with a
# jar that carries no icon: the configured DefaultIcon location, and the
# module's own icon.
ICON_OUT="$DEMO_OUT/icons"
ICON_CONFIG="$CLASS_KEY\\config"

for jar in "$EXAMPLES_OUT"/*.jar; do
  section "shellhost icon $(basename "$jar"): its shell-meta-inf/icons/icon.ico"
  unzip -p "$jar" shell-meta-inf/icons/icon.ico | python3 -c '
import struct, sys
d = sys.stdin.buffer.read()
n = struct.unpack_from("<H", d, 4)[0]
print("icon.ico holds", n, "entries:", ", ".join(
    "%dx%d %d bpp" % (d[6 + 16 * i] or 256, d[7 + 16 * i] or 256, struct.unpack_from("<H", d, 12 + 16 * i)[0])
    for i in range(n)))'
  shellhost icon "$jar" --out "$ICON_OUT"
  section "shellhost icon $(basename "$jar") --size 48,24 (24 is as near to 16 as to 32: the first entry of the wanted depth wins, at its own size)"
  shellhost icon "$jar" --size 48,24
done

section "a jar without an icon, DefaultIcon as registration leaves it (empty): the module's icon group 1"
NOICON_JAR="$DEMO_OUT/noicon.jar"
cp "$EXAMPLES_OUT/hello.jar" "$NOICON_JAR"
zip -q -d "$NOICON_JAR" shell-meta-inf/icons/icon.ico
shellhost icon "$NOICON_JAR" --out "$ICON_OUT"

section "the same jar with DefaultIcon = shell32.dll,3 (the administrator's fallback)"
wine reg query "$ICON_CONFIG" /v DefaultIcon $VIEW64 >"$DEMO_OUT/reg.out" 2>&1 </dev/null || true
saved_icon=$(tr -d '\r' <"$DEMO_OUT/reg.out" | sed -n 's/^ *DefaultIcon *REG_SZ *//p')
wine reg add "$ICON_CONFIG" /v DefaultIcon /t REG_SZ /d 'shell32.dll,3' /f $VIEW64 >/dev/null 2>&1 </dev/null
shellhost icon "$NOICON_JAR" --size 48,24
wine reg add "$ICON_CONFIG" /v DefaultIcon /t REG_SZ /d "$saved_icon" /f $VIEW64 >/dev/null 2>&1 </dev/null

section "the icon files ($ICON_OUT)"
ls -l "$ICON_OUT"
