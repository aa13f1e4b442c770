#include "metadata/JarMetadata.h"

#include <cstring>
#include <initializer_list>

#include "base/CoreAlloc.h"
#include "base/Holder.h"
#include "metadata/ModuleInfo.h"
#include "metadata/Properties.h"
#include "text/TextConvert.h"
#include "versionpage/VersionFile.h"

namespace {

constexpr char kPomPrefix[] = "META-INF/maven/";
constexpr char kPomSuffix[] = "/pom.properties";
constexpr char kPropertiesSuffix[] = ".properties";
constexpr char kModuleInfo[] = "module-info.class";
constexpr char kVersionsPrefix[] = "META-INF/versions/";
// The first release whose versioned members the JVM reads.
constexpr uint32_t kFirstVersionedRelease = 8;
// Names of properties files noted by the walk, translations among them; a
// directory with more noted names than this is looked at no further for them.
constexpr size_t kMaxNotedNames = 256 * 1024;

const char* const kShellNames[kShellMemberCount] = {MEMBER_ICON, MEMBER_DESCRIPTION, MEMBER_VERSION,
                                                    MEMBER_STARTOPTIONS};

bool endsWith(const char* name, size_t length, const char* suffix, size_t suffixLength) {
    return length >= suffixLength && std::memcmp(name + length - suffixLength, suffix, suffixLength) == 0;
}

bool startsWith(const char* name, size_t length, const char* prefix, size_t prefixLength) {
    return length >= prefixLength && std::memcmp(name, prefix, prefixLength) == 0;
}

bool same(const char* name, size_t length, const char* text) {
    return std::strlen(text) == length && std::memcmp(name, text, length) == 0;
}

// META-INF/maven/<group>/<artifact>/pom.properties: two non-empty folders.
bool isPomName(const char* name, size_t length) {
    const size_t prefix = sizeof kPomPrefix - 1, suffix = sizeof kPomSuffix - 1;
    if (length <= prefix + suffix || !startsWith(name, length, kPomPrefix, prefix) ||
        !endsWith(name, length, kPomSuffix, suffix))
        return false;
    const char* group = name + prefix;
    size_t middle = length - prefix - suffix;
    const char* slash = static_cast<const char*>(std::memchr(group, '/', middle));
    return slash && slash != group && slash + 1 < group + middle &&
           !std::memchr(slash + 1, '/', static_cast<size_t>(group + middle - slash - 1));
}

// The N of META-INF/versions/N/module-info.class (decimal, no leading zero,
// at least kFirstVersionedRelease), or 0.
uint32_t versionedRelease(const char* name, size_t length) {
    const size_t prefix = sizeof kVersionsPrefix - 1, suffix = sizeof kModuleInfo - 1;
    if (length < prefix + 2 + suffix || !startsWith(name, length, kVersionsPrefix, prefix) ||
        name[length - suffix - 1] != '/')
        return 0;
    const char* digits = name + prefix;
    size_t count = length - prefix - suffix - 1;
    if (count > 9 || digits[0] == '0') return 0;
    uint32_t release = 0;
    for (size_t i = 0; i < count; ++i) {
        if (digits[i] < '0' || digits[i] > '9') return 0;
        release = release * 10 + static_cast<uint32_t>(digits[i] - '0');
    }
    return release >= kFirstVersionedRelease ? release : 0;
}

}  // namespace

struct NotedMember {
    MemberLocation location;
    size_t nameOffset;  // in JarCandidates::names
};

struct JarCandidates {
    MemberLocation shell[kShellMemberCount];
    bool shellFound[kShellMemberCount];
    MemberLocation manifest;
    bool manifestFound;
    MemberLocation descriptors[kModFamilyCount];
    bool descriptorFound[kModFamilyCount];
    MemberLocation module;
    bool moduleFound;
    MemberLocation versionedModule;
    uint32_t versionedModuleRelease;  // 0: none
    NotedMember poms[kMaxPoms];
    size_t pomCount;
    bool tooManyPoms;
    NotedMember* properties;  // coreAlloc array
    size_t propertiesCount;
    size_t propertiesCapacity;
    char* names;  // coreAlloc: the noted names, each terminated
    size_t namesLength;
    size_t namesCapacity;
    bool outOfMemory;
    DirectoryWalk walk;

    const char* nameOf(const NotedMember& member) const { return names + member.nameOffset; }

    // Keeps a copy of the name; false when it cannot be kept.
    bool noteName(const char* name, size_t length, size_t* offset) {
        if (length + 1 > kMaxNotedNames - namesLength) return false;
        if (namesLength + length + 1 > namesCapacity) {
            size_t capacity = namesCapacity ? namesCapacity * 2 : 1024;
            while (capacity < namesLength + length + 1) capacity *= 2;
            char* grown = static_cast<char*>(coreRealloc(names, capacity));
            if (!grown) {
                outOfMemory = true;
                return false;
            }
            names = grown;
            namesCapacity = capacity;
        }
        *offset = namesLength;
        std::memcpy(names + namesLength, name, length);
        names[namesLength + length] = '\0';
        namesLength += length + 1;
        return true;
    }

    MemberLocation* notePom(const char* name, size_t length) {
        for (size_t i = 0; i < pomCount; ++i)
            if (same(name, length, nameOf(poms[i]))) return nullptr;  // the first of a name counts
        if (pomCount == kMaxPoms) {
            tooManyPoms = true;
            return nullptr;
        }
        if (!noteName(name, length, &poms[pomCount].nameOffset)) return nullptr;
        return &poms[pomCount++].location;
    }

    MemberLocation* noteProperties(const char* name, size_t length) {
        if (propertiesCount == propertiesCapacity) {
            size_t capacity = propertiesCapacity ? propertiesCapacity * 2 : 16;
            void* grown = coreRealloc(properties, capacity * sizeof(NotedMember));
            if (!grown) {
                outOfMemory = true;
                return nullptr;
            }
            properties = static_cast<NotedMember*>(grown);
            propertiesCapacity = capacity;
        }
        if (!noteName(name, length, &properties[propertiesCount].nameOffset)) return nullptr;
        return &properties[propertiesCount++].location;
    }

    // The first noted properties file of that name.
    const NotedMember* findProperties(const char* name) const {
        for (size_t i = 0; i < propertiesCount; ++i)
            if (std::strcmp(nameOf(properties[i]), name) == 0) return &properties[i];
        return nullptr;
    }
};

namespace {

MemberLocation* once(MemberLocation* slot, bool* found) {
    if (*found) return nullptr;
    *found = true;
    return slot;
}

// Looks at each name of the directory. Most names are class files, passed by
// after two byte compares; every name that metadata may come from ends in
// "s", "F", "n" or "o".
MemberLocation* chooseCandidate(const char* name, uint32_t length, void* context) {
    JarCandidates& c = *static_cast<JarCandidates*>(context);
    if (length < 10) return nullptr;  // "plugin.yml" and "bungee.yml" are the shortest
    switch (name[length - 1]) {
        case 's': {
            const size_t moduleLength = sizeof kModuleInfo - 1;
            if (length >= moduleLength && name[length - moduleLength] == 'm' &&
                endsWith(name, length, kModuleInfo, moduleLength)) {
                if (length == moduleLength) return once(&c.module, &c.moduleFound);
                uint32_t release = versionedRelease(name, length);
                if (release <= c.versionedModuleRelease) return nullptr;
                c.versionedModuleRelease = release;
                return &c.versionedModule;
            }
            const size_t suffix = sizeof kPropertiesSuffix - 1;
            if (length > suffix && name[length - suffix] == '.' && name[length - suffix + 1] == 'p' &&
                endsWith(name, length, kPropertiesSuffix, suffix)) {
                if (isPomName(name, length)) return c.notePom(name, length);
                if (startsWith(name, length, kPomPrefix, sizeof kPomPrefix - 1)) return nullptr;
                return c.noteProperties(name, length);
            }
            if (same(name, length, MEMBER_STARTOPTIONS))
                return once(&c.shell[kShellStartOptions], &c.shellFound[kShellStartOptions]);
            return nullptr;
        }
        case 'F':
            return same(name, length, MEMBER_MANIFEST) ? once(&c.manifest, &c.manifestFound) : nullptr;
        case 'n':
            if (same(name, length, MEMBER_DESCRIPTION))
                return once(&c.shell[kShellDescription], &c.shellFound[kShellDescription]);
            if (same(name, length, MEMBER_VERSION)) return once(&c.shell[kShellVersion], &c.shellFound[kShellVersion]);
            break;
        case 'o':
            return same(name, length, MEMBER_ICON) ? once(&c.shell[kShellIcon], &c.shellFound[kShellIcon]) : nullptr;
        default:
            break;
    }
    // A mod's or plugin's descriptor: .json, .toml, .yml or .xml at its place.
    char last = name[length - 1];
    if (last == 'n' || last == 'l')
        for (int f = 0; f < kModFamilyCount; ++f)
            if (same(name, length, kModDescriptorMembers[f])) return once(&c.descriptors[f], &c.descriptorFound[f]);
    return nullptr;
}

bool isTrimmed(char c) { return static_cast<unsigned char>(c) <= 0x20; }

void trimInPlace(char* text) {
    if (!text) return;
    size_t length = std::strlen(text), start = 0;
    while (start < length && isTrimmed(text[start])) ++start;
    while (length > start && isTrimmed(text[length - 1])) --length;
    std::memmove(text, text + start, length - start);
    text[length - start] = '\0';
}

bool isNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
           c == '-';
}

// The file name without the folders before it.
const char* baseName(const char* path) {
    const char* base = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/' || *p == '\\') base = p + 1;
    return base;
}

// The language and country of a locale name such as "de_DE" or "no_NO_NY".
void splitLocale(const char* localeName, char* language, char* country, size_t size) {
    language[0] = country[0] = '\0';
    if (!localeName) return;
    size_t i = 0;
    for (; localeName[i] && localeName[i] != '_' && i + 1 < size; ++i) language[i] = localeName[i];
    language[i] = '\0';
    if (localeName[i] != '_') return;
    const char* rest = localeName + i + 1;
    size_t j = 0;
    for (; rest[j] && rest[j] != '_' && j + 1 < size; ++j) country[j] = rest[j];
    country[j] = '\0';
}

// A text from several parts in a fresh coreAlloc string.
char* joinText(const char* a, const char* b = "", const char* c = "", const char* d = "", const char* e = "",
               const char* f = "") {
    const char* parts[] = {a, b, c, d, e, f};
    size_t total = 1;
    for (const char* part : parts) total += std::strlen(part);
    char* joined = static_cast<char*>(coreAlloc(total));
    if (!joined) return nullptr;
    char* end = joined;
    for (const char* part : parts) {
        size_t n = std::strlen(part);
        std::memcpy(end, part, n);
        end += n;
    }
    *end = '\0';
    return joined;
}

// The Bundle-* headers, translated where their value is "%key".
const char* const kBundleHeaders[] = {"Bundle-Name", "Bundle-Version", "Bundle-Vendor", "Bundle-Description",
                                      "Bundle-Copyright"};
constexpr size_t kBundleHeaderCount = sizeof kBundleHeaders / sizeof kBundleHeaders[0];

// A pom as the own-pom rule sees it.
struct PomValues {
    char* values[3];  // groupId, artifactId, version
    uint32_t lines[3];
};
const char* const kPomKeys[3] = {"groupId", "artifactId", "version"};
enum { kPomGroup, kPomArtifact, kPomVersion };

}  // namespace

// ---- JarMetadata -------------------------------------------------------------

JarMetadata::~JarMetadata() { clear(); }

void JarMetadata::clear() {
    for (size_t i = 0; i < ownedCount_; ++i) coreFree(owned_[i]);
    ownedCount_ = 0;
    for (MetadataValue& value : values_) value = MetadataValue{};
    maven_ = module_ = nullptr;
    freeModDescriptor(&descriptor_);
    manifest_.clear();
    freeArchiveMember(&manifestBytes_);
}

const char* JarMetadata::keep(char* text) {
    if (!text) return nullptr;
    if (ownedCount_ == sizeof owned_ / sizeof owned_[0]) {
        coreFree(text);
        return nullptr;
    }
    owned_[ownedCount_++] = text;
    return text;
}

// ---- Reading ------------------------------------------------------------------

JarReader::~JarReader() {
    if (!candidates_) return;
    coreFree(candidates_->properties);
    coreFree(candidates_->names);
    coreFree(candidates_);
}

bool JarReader::open() {
    if (candidates_) return true;
    if (!session_.open()) return false;
    void* block = coreAlloc(sizeof(JarCandidates));
    if (!block) return false;
    std::memset(block, 0, sizeof(JarCandidates));
    candidates_ = static_cast<JarCandidates*>(block);
    // The last eight bytes of every name that metadata may come from.
    static const char kEndings[][8] = {
        {'I', 'F', 'E', 'S', 'T', '.', 'M', 'F'}, {'f', 'o', '.', 'c', 'l', 'a', 's', 's'},
        {'o', 'p', 'e', 'r', 't', 'i', 'e', 's'}, {'c', 'r', 'i', 'p', 't', 'i', 'o', 'n'},
        {'/', 'v', 'e', 'r', 's', 'i', 'o', 'n'}, {'i', 'c', 'o', 'n', '.', 'i', 'c', 'o'},
        {'t', 'o', 'p', 't', 'i', 'o', 'n', 's'}, {'m', 'o', 'd', '.', 'j', 's', 'o', 'n'},
        {'o', 'd', 's', '.', 't', 'o', 'm', 'l'}, {'u', 'g', 'i', 'n', '.', 'y', 'm', 'l'},
        {'n', 'g', 'e', 'e', '.', 'y', 'm', 'l'}, {'g', 'i', 'n', '.', 'j', 's', 'o', 'n'},
        {'u', 'g', 'i', 'n', '.', 'x', 'm', 'l'}};
    candidates_->walk = session_.walk(chooseCandidate, candidates_, kEndings, sizeof kEndings / sizeof kEndings[0]);
    return true;
}

bool JarReader::hasModDescriptor() const {
    if (!candidates_) return false;
    for (bool found : candidates_->descriptorFound)
        if (found) return true;
    return false;
}

int JarReader::readShellMember(ShellMember member, MemberBuffer* out) {
    if (!out) return kArchiveUnusable;
    *out = MemberBuffer{0, nullptr};
    if (!candidates_ || member < 0 || member >= kShellMemberCount) return kArchiveUnusable;
    if (!candidates_->shellFound[member]) return kMemberAbsent;
    return session_.read(candidates_->shell[member], kShellNames[member], out);
}

// One call's work: the values are offered in the order of their sources, and
// the first that gives a field keeps it.
struct JarMetadataBuilder {
    JarMetadataBuilder(ArchiveSession& session, const JarCandidates& candidates, const JarMetadataRequest& request,
                       JarMetadata* out)
        : session(session), c(candidates), request(request), out(*out), manifest(out->manifest_) {}
    ~JarMetadataBuilder() {
        for (char*& text : translations) coreFree(text);
        for (size_t i = 0; i < pomCount; ++i)
            for (char*& text : poms[i].values) coreFree(text);
        freeModuleName(&module);
    }

    bool has(JarField field) const { return out.values_[field].text != nullptr; }

    // Keeps a new text for the metadata; a text that cannot be kept fails the call.
    const char* keep(char* text) {
        const char* kept = out.keep(text);
        if (!kept) failed = true;
        return kept;
    }
    const char* keepCopy(const char* text) { return keep(copyText(text, std::strlen(text))); }

    // A value as the metadata takes it: trimmed, and none when empty or a
    // placeholder. A text that lives as long as the metadata (a manifest
    // value) is taken as it is when it needs no trimming, a text of the
    // builder's own (*owned) is handed over; anything else is copied.
    const char* usable(const char* text, bool lasting = false, char** owned = nullptr) {
        if (!text) return nullptr;
        const size_t full = std::strlen(text);
        size_t length = full;
        while (length > 0 && isTrimmed(*text)) ++text, --length;
        while (length > 0 && isTrimmed(text[length - 1])) --length;
        if (length == 0 || isBuildPlaceholder(text, length)) return nullptr;
        if (length == full && lasting) return text;
        if (length == full && owned) {
            *owned = nullptr;
            return keep(const_cast<char*>(text));
        }
        return keep(copyText(text, length));
    }

    void offer(JarField field, const char* text, const char* member, uint32_t line, const char* key,
               bool lasting = false, char** owned = nullptr) {
        if (has(field)) return;
        if (const char* kept = usable(text, lasting, owned))
            out.values_[field] = MetadataValue{kept, MetadataSource{member, line, key}};
    }

    // A main-section header; a Bundle-* header's "%key" gives its translation or nothing.
    void offerHeader(JarField field, const char* header) {
        const ManifestAttribute* a = manifest.find(header);
        if (!a || !a->value) return;
        for (size_t i = 0; i < kBundleHeaderCount; ++i) {
            if (std::strcmp(header, kBundleHeaders[i]) != 0 || a->value[0] != '%') continue;
            offer(field, translations[i], translationMember[i], translationLine[i], a->value + 1, false,
                  &translations[i]);
            return;
        }
        offer(field, a->value, MEMBER_MANIFEST, a->line, header, true);
    }

    bool read(const MemberLocation& location, const char* name, MemberBuffer* buffer) {
        return session.read(location, name, buffer) == kMemberRead;
    }

    void prefetch(bool withManifest, bool allRequired);
    void readManifest();
    void readDescriptor();
    void translate();
    void readOwnPom(const char* manifestVersion);
    void readModule();
    void offerSymbolicName();
    void describeCoordinates();
    bool run();

    ArchiveSession& session;
    const JarCandidates& c;
    const JarMetadataRequest& request;
    JarMetadata& out;
    Manifest& manifest;
    bool failed = false;
    char* translations[kBundleHeaderCount] = {};
    const char* translationMember[kBundleHeaderCount] = {};
    uint32_t translationLine[kBundleHeaderCount] = {};
    PomValues poms[kMaxPoms] = {};
    size_t pomCount = 0;
    size_t ownPom = SIZE_MAX;
    const char* pomMember = nullptr;
    ModuleName module = {nullptr, nullptr};
};

void JarMetadataBuilder::readManifest() {
    if (!c.manifestFound || !read(c.manifest, MEMBER_MANIFEST, &out.manifestBytes_)) return;
    // A manifest that the JVM refuses gives nothing.
    if (manifest.read(out.manifestBytes_.data, out.manifestBytes_.length)) return;
    failed = failed || manifest.outOfMemory();
    freeArchiveMember(&out.manifestBytes_);
}

// A mod's or plugin's descriptor: the first family the jar has gives its
// values before the manifest's.
void JarMetadataBuilder::readDescriptor() {
    for (int f = 0; f < kModFamilyCount; ++f) {
        if (!c.descriptorFound[f]) continue;
        MemberBuffer buffer;
        if (!read(c.descriptors[f], kModDescriptorMembers[f], &buffer)) return;
        MemberHolder held(&buffer);
        ModDescriptor& d = out.descriptor_;
        if (!readModDescriptor(ModFamily(f), buffer.data, buffer.length, manifest.value("Implementation-Version"), &d))
            return;
        const char* member = kModDescriptorMembers[f];
        offer(kJarName, d.name, member, 0, d.keys[0]);
        offer(kJarVersion, d.version, member, 0, d.keys[1]);
        offer(kJarDescription, d.description, member, 0, d.keys[2]);
        offer(kJarAuthors, d.authors, member, 0, d.keys[3]);
        offer(kJarVendor, d.vendor, member, 0, d.keys[4]);
        return;
    }
}

// The bundle's translations of its "%key" headers: the most specific file
// that has a key gives its text.
void JarMetadataBuilder::translate() {
    const char* keys[kBundleHeaderCount];
    size_t header[kBundleHeaderCount];
    size_t count = 0;
    for (size_t i = 0; i < kBundleHeaderCount; ++i) {
        const char* value = manifest.value(kBundleHeaders[i]);
        if (value && value[0] == '%') {
            keys[count] = value + 1;
            header[count++] = i;
        }
    }
    if (count == 0) return;
    const char* base = manifest.value("Bundle-Localization");
    if (!base) base = DEFAULT_BUNDLE_LOCALIZATION;
    while (*base == '/') ++base;
    char language[16], country[16];
    splitLocale(request.localeName, language, country, sizeof language);
    CorePtr<char> names[3];
    if (language[0] && country[0]) names[0].reset(joinText(base, "_", language, "_", country, kPropertiesSuffix));
    if (language[0]) names[1].reset(joinText(base, "_", language, kPropertiesSuffix));
    names[2].reset(joinText(base, kPropertiesSuffix));
    if (!names[2] || (language[0] && !names[1]) || (language[0] && country[0] && !names[0])) {
        failed = true;
        return;
    }
    const NotedMember* files[3] = {};
    const MemberLocation* locations[3] = {};
    for (size_t f = 0; f < 3; ++f) {
        if (names[f]) files[f] = c.findProperties(names[f].get());
        if (files[f]) locations[f] = &files[f]->location;
    }
    session.prefetch(locations, 3);
    bool found[kBundleHeaderCount] = {};
    for (size_t f = 0; f < 3; ++f) {
        MemberBuffer buffer;
        if (!files[f] || !read(files[f]->location, names[f].get(), &buffer)) continue;
        MemberHolder held(&buffer);
        char* values[kBundleHeaderCount];
        uint32_t lines[kBundleHeaderCount];
        // A file the JVM refuses is passed over.
        if (!findProperties(buffer.data, buffer.length, keys, count, values, lines, &failed)) continue;
        const char* member = nullptr;
        for (size_t k = 0; k < count; ++k) {
            size_t i = header[k];
            // A key of a more specific file is not looked for again, even
            // where its value there is unusable.
            if (found[i] || lines[k] == 0) {
                coreFree(values[k]);
                continue;
            }
            found[i] = true;
            if (!member) member = keepCopy(names[f].get());
            translations[i] = values[k];
            translationMember[i] = member;
            translationLine[i] = lines[k];
        }
    }
}

// Members that lie close together come in one read. With the manifest, the
// others come only where they join its read, unless all are required.
void JarMetadataBuilder::prefetch(bool withManifest, bool allRequired) {
    const MemberLocation* locations[kMaxPoms + 3];
    size_t n = 0;
    if (withManifest && c.manifestFound) locations[n++] = &c.manifest;
    if (!c.tooManyPoms)
        for (size_t i = 0; i < c.pomCount; ++i) locations[n++] = &c.poms[i].location;
    if (c.moduleFound) locations[n++] = &c.module;
    if (c.versionedModuleRelease) locations[n++] = &c.versionedModule;
    session.prefetch(locations, n, allRequired ? n : 1);
}

// Reads every pom and picks the jar's own: the longest artifactId that the
// file name starts with, else the only pom with the manifest's version.
void JarMetadataBuilder::readOwnPom(const char* manifestVersion) {
    if (c.tooManyPoms) return;
    for (; pomCount < c.pomCount; ++pomCount) {
        PomValues& pom = poms[pomCount];
        MemberBuffer buffer;
        if (!read(c.poms[pomCount].location, c.nameOf(c.poms[pomCount]), &buffer)) continue;
        MemberHolder held(&buffer);
        findProperties(buffer.data, buffer.length, kPomKeys, 3, pom.values, pom.lines, &failed);
        for (char* value : pom.values) trimInPlace(value);
    }
    const char* fileName = request.fileName ? baseName(request.fileName) : "";
    size_t longest = 0;
    for (size_t i = 0; i < pomCount; ++i) {
        const char* artifact = poms[i].values[kPomArtifact];
        size_t n = artifact ? std::strlen(artifact) : 0;
        if (n > longest && std::strncmp(fileName, artifact, n) == 0) {
            ownPom = i;
            longest = n;
        }
    }
    for (size_t i = 0; ownPom == SIZE_MAX && manifestVersion && i < pomCount; ++i) {
        const char* version = poms[i].values[kPomVersion];
        if (!version || std::strcmp(version, manifestVersion) != 0) continue;
        for (size_t j = i + 1; j < pomCount; ++j)
            if (poms[j].values[kPomVersion] && std::strcmp(poms[j].values[kPomVersion], manifestVersion) == 0)
                return;  // more than one: none is the jar's own
        ownPom = i;
    }
    if (ownPom == SIZE_MAX) return;
    pomMember = keepCopy(c.nameOf(c.poms[ownPom]));
    const PomValues& pom = poms[ownPom];
    offer(kJarName, pom.values[kPomArtifact], pomMember, pom.lines[kPomArtifact], kPomKeys[kPomArtifact]);
    offer(kJarVersion, pom.values[kPomVersion], pomMember, pom.lines[kPomVersion], kPomKeys[kPomVersion]);
}

void JarMetadataBuilder::readModule() {
    const char* multiRelease = manifest.value("Multi-Release");
    bool versioned = multiRelease && c.versionedModuleRelease != 0 && std::strlen(multiRelease) == 4;
    for (size_t i = 0; versioned && i < 4; ++i) versioned = (multiRelease[i] | 0x20) == "true"[i];
    char release[12];
    size_t digits = 0;
    for (uint32_t r = c.versionedModuleRelease; r != 0; r /= 10) ++digits;
    release[digits] = '\0';
    for (uint32_t r = c.versionedModuleRelease, i = 0; r != 0; r /= 10, ++i)
        release[digits - 1 - i] = static_cast<char>('0' + r % 10);
    const MemberLocation* location = versioned ? &c.versionedModule : c.moduleFound ? &c.module : nullptr;
    if (!location) return;
    CorePtr<char> name(versioned ? joinText(kVersionsPrefix, release, "/", kModuleInfo) : joinText(kModuleInfo));
    MemberBuffer buffer;
    if (!name) {
        failed = true;
        return;
    }
    if (!read(*location, name.get(), &buffer)) return;
    MemberHolder held(&buffer);
    if (!readModuleInfo(reinterpret_cast<const unsigned char*>(buffer.data), buffer.length, &module, &failed)) return;
    const char* member = keep(name.release());
    offer(kJarName, module.name, member, 0, "Module");
    offer(kJarVersion, module.version, member, 0, "Module");
}

// "group:artifact:version" and "name@version" for the page.
void JarMetadataBuilder::describeCoordinates() {
    if (ownPom != SIZE_MAX) {
        const PomValues& pom = poms[ownPom];
        const char* parts[3];
        for (int k = 0; k < 3; ++k) {
            const char* v = pom.values[k];
            parts[k] = v && *v && !isBuildPlaceholder(v, std::strlen(v)) ? v : nullptr;
        }
        if (parts[kPomArtifact])
            out.maven_ = keep(joinText(parts[kPomGroup] ? parts[kPomGroup] : "", parts[kPomGroup] ? ":" : "",
                                       parts[kPomArtifact], parts[kPomVersion] ? ":" : "",
                                       parts[kPomVersion] ? parts[kPomVersion] : ""));
    }
    if (module.name)
        out.module_ = keep(joinText(module.name, module.version ? "@" : "", module.version ? module.version : ""));
}

void JarMetadataBuilder::offerSymbolicName() {
    const ManifestAttribute* symbolic = manifest.find("Bundle-SymbolicName");
    if (has(kJarName) || !symbolic || !symbolic->value) return;
    CorePtr<char> name(copyText(symbolic->value, symbolic->valueLength));
    if (!name) {
        failed = true;
        return;
    }
    // Without its directives: "org.example.tool;singleton:=true".
    if (char* directives = std::strchr(name.get(), ';')) *directives = '\0';
    offer(kJarName, name.get(), MEMBER_MANIFEST, symbolic->line, "Bundle-SymbolicName");
}

bool JarMetadataBuilder::run() {
    const bool page = request.use == kMetadataForPage;
    // The page needs every source; so does a jar without a manifest. The
    // tooltip needs the others only when the manifest leaves a gap, and
    // takes them along with the manifest only where that costs no read.
    prefetch(true, page || !c.manifestFound);
    readManifest();
    readDescriptor();
    translate();
    offerHeader(kJarName, "Bundle-Name");
    offerHeader(kJarName, "Implementation-Title");
    offerHeader(kJarName, "Specification-Title");
    offerHeader(kJarVersion, "Bundle-Version");
    offerHeader(kJarVersion, "Implementation-Version");
    offerHeader(kJarVendor, "Bundle-Vendor");
    offerHeader(kJarVendor, "Implementation-Vendor");
    offerHeader(kJarVendor, "Specification-Vendor");
    offerHeader(kJarDescription, "Bundle-Description");
    offerHeader(kJarCopyright, "Bundle-Copyright");
    if (page || !has(kJarName) || !has(kJarVersion)) {
        // The manifest's own version picks the own pom among several.
        const char* manifestVersion = out.text(kJarVersion);
        if (!manifestVersion) manifestVersion = usable(manifest.value("Specification-Version"), true);
        if (!page && c.manifestFound) prefetch(false, true);
        readOwnPom(manifestVersion);
        // The tooltip asks the module only for what the pom left open.
        if (page || !has(kJarName) || !has(kJarVersion)) readModule();
    }
    offerHeader(kJarVersion, "Specification-Version");
    offerHeader(kJarName, "Automatic-Module-Name");
    offerSymbolicName();
    if (page) describeCoordinates();
    // A member left unread for want of memory would give other values.
    return !failed && !session.outOfMemory() && out.present();
}

bool JarReader::readMetadata(const JarMetadataRequest& request, JarMetadata* out) {
    if (!out) return false;
    out->clear();
    if (!candidates_ || candidates_->outOfMemory || candidates_->walk != kWalkComplete) return false;
    JarMetadataBuilder builder(session_, *candidates_, request, out);
    if (builder.run()) return true;
    out->clear();
    return false;
}

bool readJarMetadata(ByteSource& source, const JarMetadataRequest& request, JarMetadata* out) {
    JarReader reader(source);
    if (out) out->clear();
    return reader.open() && reader.readMetadata(request, out);
}

// ---- What the shell shows ---------------------------------------------------

namespace {

// Appends a value cut to kTooltipValueLength characters (the last then an
// ellipsis), control characters as blanks; returns the new end.
char* appendShown(char* end, const char* value) {
    size_t characters = 0;
    for (const char* p = value; *p; ++p)
        if ((static_cast<unsigned char>(*p) & 0xC0) != 0x80) ++characters;
    const bool cut = characters > kTooltipValueLength;
    size_t keep = cut ? kTooltipValueLength - 1 : characters;
    size_t seen = 0;
    for (const char* p = value; *p; ++p) {
        unsigned char b = static_cast<unsigned char>(*p);
        if ((b & 0xC0) != 0x80 && seen++ == keep) break;
        *end++ = b < 0x20 || b == 0x7F ? ' ' : *p;
    }
    if (cut) {
        std::memcpy(end, "\xE2\x80\xA6", 3);
        end += 3;
    }
    return end;
}

// The most bytes appendShown writes for any value.
constexpr size_t kShownBytes = kTooltipValueLength * 4 + 3;

WChar* wideOf(const char* text) { return text ? utf8ToWide(text, std::strlen(text)) : nullptr; }

}  // namespace

WChar* derivedTooltip(const JarMetadata& metadata) {
    const char* name = metadata.text(kJarName);
    if (!name) return nullptr;
    // Four values at most, each with its separator.
    char text[4 * (kShownBytes + 2) + 3];
    char* end = appendShown(text, name);
    if (const char* version = metadata.text(kJarVersion)) {
        *end++ = ' ';
        end = appendShown(end, version);
    }
    // The third line names the authors where a descriptor lists them, else the vendor.
    const char* authors = metadata.text(kJarAuthors);
    for (JarField field : {kJarDescription, authors ? kJarAuthors : kJarVendor}) {
        if (!metadata.text(field)) continue;
        *end++ = '\r';
        *end++ = '\n';
        if (field == kJarAuthors) *end++ = 'b', *end++ = 'y', *end++ = ' ';
        end = appendShown(end, metadata.text(field));
    }
    return utf8ToWide(text, static_cast<size_t>(end - text));
}

namespace {

// One "name=value" item of the page's list.
WChar* itemOf(const char* name, size_t nameLength, const char* value) {
    CorePtr<char> line(static_cast<char*>(coreAlloc(nameLength + std::strlen(value) + 2)));
    if (!line) return nullptr;
    std::memcpy(line.get(), name, nameLength);
    line.get()[nameLength] = '=';
    std::strcpy(line.get() + nameLength + 1, value);
    return utf8ToWide(line.get(), std::strlen(line.get()));
}

}  // namespace

bool derivedPage(const JarMetadata& metadata, DerivedPage* out) {
    if (!out) return false;
    *out = DerivedPage{};
    if (!metadata.present()) return false;
    const Manifest& manifest = metadata.manifest();
    size_t count = 0;
    for (size_t i = 0; i < manifest.count(); ++i)
        if (manifest.attribute(i).value) ++count;
    const ModDescriptor& descriptor = metadata.descriptor();
    count += descriptor.itemCount;
    WChar** items = coreAllocArray<WChar*>(count + 3);
    if (!items) return false;
    size_t n = 0;
    items[0] = nullptr;
    out->items = items;
    bool good = true;
    // The list stays terminated after each item, so it can be released at any point.
    auto add = [&](const char* name, size_t nameLength, const char* value) {
        if (!good || !value) return;
        items[n] = itemOf(name, nameLength, value);
        good = items[n] != nullptr;
        if (good) items[++n] = nullptr;
    };
    for (size_t i = 0; i < descriptor.itemCount; ++i)
        add(descriptor.itemNames[i], std::strlen(descriptor.itemNames[i]), descriptor.itemValues[i]);
    for (size_t i = 0; i < manifest.count(); ++i)
        add(manifest.attribute(i).name, manifest.attribute(i).nameLength, manifest.attribute(i).value);
    add("Maven", 5, metadata.maven());
    add("Module", 6, metadata.module());
    const char* copyright = metadata.text(kJarCopyright) ? metadata.text(kJarCopyright) : metadata.text(kJarVendor);
    out->fileVersion = wideOf(metadata.text(kJarVersion));
    out->description = wideOf(metadata.text(kJarName));
    out->copyright = wideOf(copyright);
    good = good && (out->fileVersion || !metadata.text(kJarVersion)) &&
           (out->description || !metadata.text(kJarName)) && (out->copyright || !copyright);
    if (!good) freeDerivedPage(out);
    return good;
}

void freeDerivedPage(DerivedPage* page) {
    if (!page) return;
    coreFree(page->fileVersion);
    coreFree(page->description);
    coreFree(page->copyright);
    freeVersionList(&page->items);
    *page = DerivedPage{};
}

char* jarFileNameOf(const PathChar* path) {
    if (!path) return nullptr;
    const PathChar* name = path;
    for (const PathChar* at = path; *at; ++at)
        if (*at == '/' || *at == '\\') name = at + 1;
#ifdef _WIN32
    size_t units = 0;
    while (name[units]) ++units;
    return wideToUtf8(name, units);
#else
    return copyText(name, std::strlen(name));
#endif
}

bool isBuildPlaceholder(const char* text, size_t length) {
    for (size_t i = 0; i + 1 < length; ++i) {
        if (text[i] == '$' && text[i + 1] == '{') {
            const char* close = static_cast<const char*>(std::memchr(text + i + 2, '}', length - i - 2));
            if (close && close > text + i + 2) return true;
        } else if (text[i] == '@') {
            size_t j = i + 1;
            while (j < length && isNameCharacter(text[j])) ++j;
            if (j > i + 1 && j < length && text[j] == '@') return true;
        }
    }
    return false;
}

