# Jars as they come, without shell-meta-inf members: an OSGi bundle (Apache
# Commons IO, its Bundle-* headers), a Maven jar (Maven Resolver API, its own
# pom.properties) and a module (made here by the JDK: module-info.class with
# its --module-version). The tooltip and the Version page come from what they
# already carry.
METADATA_OUT="$DEMO_OUT/metadata"
mkdir -p "$METADATA_OUT/module/src"
cat >"$METADATA_OUT/module/src/module-info.java" <<'JAVA'
module org.example.greeter {}
JAVA
javac -d "$METADATA_OUT/module/classes" "$METADATA_OUT/module/src/module-info.java"
jar --create --file "$METADATA_OUT/org.example.greeter.jar" --module-version 4.2.0 \
  -C "$METADATA_OUT/module/classes" .
for jar in /usr/share/java/commons-io.jar /usr/share/java/maven-resolver-api.jar \
           "$METADATA_OUT/org.example.greeter.jar"; do
  [ -f "$jar" ] || { echo "($jar is not installed)"; continue; }
  section "tooltip of $(basename "$jar") (no shell-meta-inf members: its standard metadata)"
  for lcid in 0x0409 0x0407; do
    printf -- '-- %s:\n' "$lcid"
    shellhost tip "$jar" --lcid "$lcid" | sed 's/^/   /'
  done
  section "shellhost version $(basename "$jar"): the Version page made of its metadata"
  shellhost version "$jar"
done
section "standardMetadata = \"0\": the same tooltip switched off"
wine reg add "$CLASS_KEY\\config" /v standardMetadata /t REG_SZ /d 0 /f $VIEW64 >/dev/null 2>&1 </dev/null
shellhost tip /usr/share/java/commons-io.jar --lcid 0x0409 | sed 's/^/   /' || true
wine reg delete "$CLASS_KEY\\config" /v standardMetadata /f $VIEW64 >/dev/null 2>&1 </dev/null || true
# What the Details pane, the Details tab and the columns show: the property
# handler through its registered class, over a stream on the file.
for jar in /usr/share/java/commons-io.jar "$EXAMPLES_OUT/hello.jar"; do
  [ -f "$jar" ] || continue
  section "shellhost props $(basename "$jar"): what Explorer's Details pane lists"
  shellhost props "$jar"
done
