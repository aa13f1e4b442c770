# A small mods folder, as a Minecraft player, a server owner or a plugin
# developer has one: a Fabric, a NeoForge and a Forge mod, a Paper plugin and
# an IntelliJ plugin. Each shows its descriptor's icon, name, version,
# description and authors, and its Version page lists the descriptor's fields.
MODS_OUT="$DEMO_OUT/mods"
mkdir -p "$MODS_OUT"
python3 "$root/tests/fixtures/make_mods.py" "$MODS_OUT"
for jar in sodium-fabric.jar neo.jar forged.jar paper-thing.jar idea-plugin.jar; do
  section "mods/$jar: tooltip (its descriptor)"
  shellhost tip "$MODS_OUT/$jar" --lcid 0x0409 | sed 's/^/   /'
  section "shellhost version mods/$jar"
  shellhost version "$MODS_OUT/$jar"
  section "shellhost icon mods/$jar (the descriptor's PNG where it names one)"
  shellhost icon "$MODS_OUT/$jar" --out "$MODS_OUT/icons" || true
done
