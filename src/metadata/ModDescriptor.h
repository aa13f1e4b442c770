#pragma once
// The descriptor a Minecraft mod, a game server's plugin or an IDE's plugin
// carries: its display name, version, description, authors and the fields a
// Version page lists, read with the strict readers of src/descriptors. The
// families in the order a jar's first descriptor decides:
//   Fabric     fabric.mod.json              JSON (a leading BOM skipped)
//   Quilt      quilt.mod.json               JSON
//   NeoForge   META-INF/neoforge.mods.toml  TOML, the first [[mods]] table
//   Forge      META-INF/mods.toml           TOML, as NeoForge
//   Paper      paper-plugin.yml             YAML 1.1
//   Bukkit     plugin.yml                   YAML 1.1 (Spigot too)
//   BungeeCord bungee.yml                   YAML 1.1
//   Velocity   velocity-plugin.json         JSON
//   IntelliJ   META-INF/plugin.xml          XML, the description's markup stripped
// A version "${file.jarVersion}" is the manifest's Implementation-Version.
#include <cstddef>

enum ModFamily { kFabric, kQuilt, kNeoForge, kForge, kPaper, kBukkit, kBungee, kVelocity, kIntelliJ, kModFamilyCount };

extern const char* const kModDescriptorMembers[kModFamilyCount];
extern const char* const kModFamilyNames[kModFamilyCount];

constexpr size_t kMaxModItems = 8;
constexpr size_t kMaxModIcons = 8;

struct ModDescriptor {
    // coreAlloc texts, null where the descriptor gives none
    char* name;
    char* version;
    char* description;
    char* authors;  // "A, B"
    char* vendor;
    // The page's items: the family first, then id, version, authors, licence,
    // home page and the game or IDE version it needs, where given.
    const char* itemNames[kMaxModItems];
    char* itemValues[kMaxModItems];
    size_t itemCount;
    const char* keys[5];  // the key each of name, version, description, authors, vendor came from
    // The descriptor's icon: PNG members, each for a width (0: one image of
    // any size), in the descriptor's order.
    char* iconPaths[kMaxModIcons];
    unsigned iconWidths[kMaxModIcons];
    size_t iconCount;
};

// The icon member for a requested size: the entry of the smallest width at or
// above the size, else the largest; an entry of unknown width serves any size.
// Null without an icon.
const char* modIconFor(const ModDescriptor& descriptor, unsigned size);

// False, with everything null, when the document is not one the family's
// format reads (the loader would refuse it too) or memory runs out.
bool readModDescriptor(ModFamily family, const char* bytes, size_t length, const char* jarVersion,
                       ModDescriptor* out);
void freeModDescriptor(ModDescriptor* descriptor);
