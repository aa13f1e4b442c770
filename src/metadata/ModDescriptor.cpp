#include "metadata/ModDescriptor.h"

#include <cstring>
#include <initializer_list>

#include "base/CoreAlloc.h"
#include "descriptors/Document.h"
#include "text/TextConvert.h"

const char* const kModDescriptorMembers[kModFamilyCount] = {
    "fabric.mod.json", "quilt.mod.json", "META-INF/neoforge.mods.toml", "META-INF/mods.toml", "paper-plugin.yml",
    "plugin.yml",      "bungee.yml",     "velocity-plugin.json",        "META-INF/plugin.xml"};
const char* const kModFamilyNames[kModFamilyCount] = {"Fabric", "Quilt", "NeoForge", "Forge", "Paper",
                                                      "Bukkit", "BungeeCord", "Velocity", "IntelliJ Platform"};

namespace {

// Where each value sits in a family's document (dotted paths; null: none).
struct FamilyPaths {
    const char* name;
    const char* version;
    const char* description;
    const char* authors;  // a string, a list of strings or of objects with "name", or an object's keys
    const char* vendor;
    const char* id;
    const char* licence;
    const char* home;
    const char* needs;  // the game or IDE version it needs
};

const FamilyPaths kPaths[kModFamilyCount] = {
    {"name", "version", "description", "authors", nullptr, "id", "license", "contact.homepage", "depends.minecraft"},
    {"quilt_loader.metadata.name", "quilt_loader.version", "quilt_loader.metadata.description",
     "quilt_loader.metadata.contributors", nullptr, "quilt_loader.id", "quilt_loader.metadata.license",
     "quilt_loader.metadata.contact.homepage", nullptr},
    {"mods.0.displayName", "mods.0.version", "mods.0.description", "mods.0.authors", nullptr, "mods.0.modId",
     "license", "mods.0.displayURL", nullptr},
    {"mods.0.displayName", "mods.0.version", "mods.0.description", "mods.0.authors", nullptr, "mods.0.modId",
     "license", "mods.0.displayURL", nullptr},
    {"name", "version", "description", "authors", nullptr, nullptr, nullptr, "website", "api-version"},
    {"name", "version", "description", "authors", nullptr, nullptr, nullptr, "website", "api-version"},
    {"name", "version", "description", "authors", nullptr, nullptr, nullptr, "website", nullptr},
    {"name", "version", "description", "authors", nullptr, "id", nullptr, "url", nullptr},
    {"name", "version", "description", nullptr, "vendor", "id", nullptr, nullptr, nullptr},
};

char* copyOf(const char* text) { return text ? copyText(text, std::strlen(text)) : nullptr; }

// Joins the texts of a list (strings, or objects' "name"), or an object's
// keys, or takes a single string; null where there is none.
char* joinedNames(const DocNode* node) {
    if (!node) return nullptr;
    if (const char* single = docString(node)) return copyOf(single);
    if (node->type != DocType::Array && node->type != DocType::Object) return nullptr;
    size_t total = 0;
    for (const DocNode* item = node->child; item; item = item->next) {
        const char* name = node->type == DocType::Object ? item->key : docString(item);
        if (!name) name = docString(docMember(item, "name"));
        if (name && *name) total += std::strlen(name) + 2;
    }
    if (total == 0) return nullptr;
    char* out = static_cast<char*>(coreAlloc(total + 1));
    if (!out) return nullptr;
    char* end = out;
    for (const DocNode* item = node->child; item; item = item->next) {
        const char* name = node->type == DocType::Object ? item->key : docString(item);
        if (!name) name = docString(docMember(item, "name"));
        if (!name || !*name) continue;
        if (end != out) *end++ = ',', *end++ = ' ';
        size_t n = std::strlen(name);
        std::memcpy(end, name, n);
        end += n;
    }
    *end = '\0';
    return out;
}

// An XML element's value: its text content, the description's markup taken out.
char* xmlText(const DocNode* root, const char* tag, bool stripped) {
    const DocNode* element = docChildElement(root, tag);
    if (!element) return nullptr;
    char* text = docTextContent(element);
    if (!text || !stripped) return text;
    char* plain = stripMarkup(text, std::strlen(text));
    coreFree(text);
    return plain;
}

// The value at path: a scalar's text (YAML numbers such as 1.10 as their
// canonical text), a list of scalars joined.
char* valueAt(const DocNode* root, const char* path) {
    if (!path) return nullptr;
    const DocNode* node = docPath(root, path);
    if (!node) return nullptr;
    if (const char* text = docString(node, true)) return copyOf(text);
    return node->type == DocType::Array ? joinedNames(node) : nullptr;
}

// An icon member path as a jar holds it: no leading slash.
void addIcon(ModDescriptor* out, const char* path, unsigned width) {
    if (!path || out->iconCount == kMaxModIcons) return;
    while (*path == '/') ++path;
    if (!*path) return;
    char* kept = copyOf(path);
    if (!kept) return;
    out->iconPaths[out->iconCount] = kept;
    out->iconWidths[out->iconCount++] = width;
}

// Fabric and Quilt: "icon" is a path, or an object of width -> path. Forge and
// NeoForge: the first mod's "logoFile", else the file's.
void readIcons(ModFamily family, const DocNode* root, ModDescriptor* out) {
    const DocNode* icon = nullptr;
    if (family == kFabric) icon = docMember(root, "icon");
    if (family == kQuilt) icon = docPath(root, "quilt_loader.metadata.icon");
    if (family == kForge || family == kNeoForge) {
        icon = docPath(root, "mods.0.logoFile");
        if (!docString(icon)) icon = docMember(root, "logoFile");
    }
    if (!icon) return;
    if (const char* path = docString(icon)) {
        addIcon(out, path, 0);
        return;
    }
    if (icon->type != DocType::Object) return;
    for (const DocNode* entry = icon->child; entry; entry = entry->next) {
        unsigned width = 0;
        const char* digits = entry->key;
        while (*digits >= '0' && *digits <= '9' && width < 100000) width = width * 10 + unsigned(*digits++ - '0');
        if (*digits || width == 0) continue;
        addIcon(out, docString(entry), width);
    }
}

Document* parse(ModFamily family, const char* bytes, size_t length) {
    switch (family) {
        case kFabric:
            return parseJson(bytes, length, true);
        case kQuilt:
        case kVelocity:
            return parseJson(bytes, length, false);
        case kNeoForge:
        case kForge:
            return parseToml(bytes, length);
        case kIntelliJ:
            return parseXml(bytes, length);
        default:
            return parseYaml(bytes, length);
    }
}

}  // namespace

bool readModDescriptor(ModFamily family, const char* bytes, size_t length, const char* jarVersion,
                       ModDescriptor* out) {
    *out = ModDescriptor{};
    if (family < 0 || family >= kModFamilyCount) return false;
    DocumentHolder document(parse(family, bytes, length));
    const DocNode* root = document ? documentRoot(document.get()) : nullptr;
    if (!root) return false;
    const FamilyPaths& p = kPaths[family];
    bool xml = family == kIntelliJ;
    out->name = xml ? xmlText(root, "name", false) : valueAt(root, p.name);
    out->version = xml ? xmlText(root, "version", false) : valueAt(root, p.version);
    out->description = xml ? xmlText(root, "description", true) : valueAt(root, p.description);
    if (family == kPaper || family == kBukkit || family == kBungee) {
        out->authors = joinedNames(docMember(root, "authors"));
        if (!out->authors) out->authors = valueAt(root, "author");
    } else if (p.authors) {
        out->authors = joinedNames(docPath(root, p.authors));
    }
    out->vendor = xml ? xmlText(root, "vendor", false) : nullptr;
    out->keys[0] = p.name;
    out->keys[1] = p.version;
    out->keys[2] = p.description;
    out->keys[3] = p.authors;
    out->keys[4] = p.vendor;
    // The build fills this one in when the jar is made; a mod built without
    // that step still says it, and the manifest has the version.
    if (out->version && std::strcmp(out->version, "${file.jarVersion}") == 0) {
        coreFree(out->version);
        out->version = copyOf(jarVersion);
    }
    auto item = [out](const char* name, char* value) {
        if (!value) return;
        if (out->itemCount == kMaxModItems) {
            coreFree(value);
            return;
        }
        out->itemNames[out->itemCount] = name;
        out->itemValues[out->itemCount++] = value;
    };
    item("Family", copyOf(kModFamilyNames[family]));
    item("Id", xml ? xmlText(root, "id", false) : valueAt(root, p.id));
    item("Version", copyOf(out->version));
    item("Authors", copyOf(out->authors));
    item("Licence", valueAt(root, p.licence));
    item("Home page", valueAt(root, p.home));
    if (xml) {
        const DocNode* idea = docChildElement(root, "idea-version");
        for (const DocNode* a = idea ? idea->child : nullptr; a; a = a->next)
            if (a->type == DocType::Attribute && std::strcmp(a->key, "since-build") == 0) item("Needs", copyOf(a->text));
    } else {
        item("Needs", valueAt(root, p.needs));
    }
    readIcons(family, root, out);
    return true;
}

const char* modIconFor(const ModDescriptor& d, unsigned size) {
    const char* best = nullptr;
    unsigned bestWidth = 0;
    bool bestAbove = false;
    for (size_t i = 0; i < d.iconCount; ++i) {
        unsigned width = d.iconWidths[i];
        if (width == 0) return d.iconPaths[i];
        bool above = width >= size;
        if (!best || (above && (!bestAbove || width < bestWidth)) || (!above && !bestAbove && width > bestWidth)) {
            best = d.iconPaths[i];
            bestWidth = width;
            bestAbove = above;
        }
    }
    return best;
}

void freeModDescriptor(ModDescriptor* d) {
    for (char* text : {d->name, d->version, d->description, d->authors, d->vendor}) coreFree(text);
    for (size_t i = 0; i < d->itemCount; ++i) coreFree(d->itemValues[i]);
    for (size_t i = 0; i < d->iconCount; ++i) coreFree(d->iconPaths[i]);
    *d = ModDescriptor{};
}
