#pragma once
// What a jar says about itself in the places where Java tools put it: the
// manifest's OSGi bundle headers (translated through the bundle's
// localization files), its Implementation-* and Specification-* headers, the
// jar's own Maven pom.properties and its module descriptor.
//
// A jar is read once per call: the end record is found once, the directory
// is walked once (noting the shell-meta-inf members too, which stay first
// wherever a jar has them), and only the members that are needed are read.
//
// Each value is taken from the first source that gives it:
//   name         Bundle-Name, Implementation-Title, Specification-Title, the own
//                pom's artifactId, the module's name, Automatic-Module-Name,
//                Bundle-SymbolicName without its directives
//   version      Bundle-Version, Implementation-Version, the own pom's version,
//                the module's version, Specification-Version
//   vendor       Bundle-Vendor, Implementation-Vendor, Specification-Vendor
//   description  Bundle-Description
//   copyright    Bundle-Copyright
// A value is trimmed of blanks and control characters at both ends; an empty
// one, and one that still holds a build placeholder (${...} or @...@), counts
// as absent. A Bundle-* value "%key" is the key's text in the bundle's
// localization (Bundle-Localization, by default OSGI-INF/l10n/bundle): the
// first of <base>_<lang>_<COUNTRY>.properties, <base>_<lang>.properties and
// <base>.properties that has the key; without one it is absent.
//
// The own pom is META-INF/maven/<group>/<artifact>/pom.properties whose
// artifactId the jar's file name starts with (the longest such, the first of
// equals), else the only pom whose version is the manifest's (Bundle-Version,
// Implementation-Version or Specification-Version, the first that is given);
// a jar with more than kMaxPoms poms has none. The module descriptor is
// module-info.class, or in a jar whose manifest says "Multi-Release: true"
// the META-INF/versions/N/module-info.class of the highest N where there is one.
#include <cstddef>
#include <cstdint>

#include "archive/ArchiveReader.h"
#include "base/WideChar.h"
#include "metadata/Manifest.h"
#include "metadata/ModDescriptor.h"

constexpr size_t kMaxPoms = 32;
// Tooltip values are cut to this many characters, the last an ellipsis.
constexpr size_t kTooltipValueLength = 256;

#define MEMBER_MANIFEST "META-INF/MANIFEST.MF"
#define DEFAULT_BUNDLE_LOCALIZATION "OSGI-INF/l10n/bundle"

// Where a value came from: a member and a line in it (0 for the module
// descriptor), and the header, property key or class file attribute.
struct MetadataSource {
    const char* member;
    uint32_t line;
    const char* key;
};

struct MetadataValue {
    const char* text;  // UTF-8, or null when no source gives the value
    MetadataSource source;
};

enum JarField { kJarName, kJarVersion, kJarVendor, kJarDescription, kJarCopyright, kJarAuthors, kJarFieldCount };

// What a call asks for: the tooltip needs name, version, description and
// vendor; the page everything, the manifest's headers, the Maven coordinates
// and the module too.
enum JarMetadataUse { kMetadataForTooltip, kMetadataForPage };

struct JarMetadataRequest {
    const char* fileName;    // the jar's file name, UTF-8; a path is cut after its last separator
    const char* localeName;  // "de_DE", "en", or null
    JarMetadataUse use;
};

class JarMetadata {
public:
    JarMetadata() = default;
    ~JarMetadata();
    JarMetadata(const JarMetadata&) = delete;
    JarMetadata& operator=(const JarMetadata&) = delete;

    // A jar with neither a name nor a version has no metadata.
    bool present() const { return values_[kJarName].text || values_[kJarVersion].text; }
    const MetadataValue& value(JarField field) const { return values_[field]; }
    const char* text(JarField field) const { return values_[field].text; }
    // The manifest's main section, in order (read for the page only).
    const Manifest& manifest() const { return manifest_; }
    // "group:artifact:version" of the own pom, and "name@version" of the
    // module; null when unknown (read for the page only).
    const char* maven() const { return maven_; }
    // The mod or plugin descriptor the values came from first (its items for
    // the page); itemCount 0 without one.
    const ModDescriptor& descriptor() const { return descriptor_; }
    const char* module() const { return module_; }

    // Releases everything; the metadata is then not present.
    void clear();

private:
    friend struct JarMetadataBuilder;
    // Keeps a coreAlloc string for as long as the metadata lives; null when
    // it is null or cannot be kept (it is then released).
    const char* keep(char* text);

    MetadataValue values_[kJarFieldCount] = {};
    Manifest manifest_;
    MemberBuffer manifestBytes_ = {0, nullptr};
    const char* maven_ = nullptr;
    ModDescriptor descriptor_ = {};
    const char* module_ = nullptr;
    char* owned_[32] = {};
    size_t ownedCount_ = 0;
};

// The members the walk notes, where each lies.
struct JarCandidates;

enum ShellMember { kShellIcon, kShellDescription, kShellVersion, kShellStartOptions, kShellMemberCount };

// A jar opened for one call.
class JarReader {
public:
    explicit JarReader(ByteSource& source) : session_(source) {}
    ~JarReader();
    JarReader(const JarReader&) = delete;
    JarReader& operator=(const JarReader&) = delete;

    // Finds the end record and walks the directory. False when the jar is no
    // zip the reader accepts, or memory ran out.
    bool open();
    // Whether the walk found a mod's or plugin's descriptor.
    bool hasModDescriptor() const;
    // A shell-meta-inf member, with the statuses of readArchiveMemberFrom.
    int readShellMember(ShellMember member, MemberBuffer* out);
    // The jar's metadata; false when it has none (no name and no version),
    // its directory is damaged, or memory ran out.
    bool readMetadata(const JarMetadataRequest& request, JarMetadata* out);

private:
    ArchiveSession session_;
    JarCandidates* candidates_ = nullptr;
};

// Both steps at once, for callers that want only the standard metadata.
bool readJarMetadata(ByteSource& source, const JarMetadataRequest& request, JarMetadata* out);

// The tooltip: line 1 the name and the version, then the description and
// the vendor where the jar has them, lines ended by CR LF between them; each
// value cut to kTooltipValueLength characters with an ellipsis, control
// characters shown as blanks. Null without a name, or when memory runs out.
WChar* derivedTooltip(const JarMetadata& metadata);

// The Version page of a jar without a version member: the three fields and
// the list of items, one "name=value" line each (the manifest's main-section
// headers in order, then "Maven" and "Module" where known), as the page
// shows a version member's lines.
struct DerivedPage {
    WChar* fileVersion;  // the version
    WChar* description;  // the name
    WChar* copyright;    // Bundle-Copyright, else the vendor
    WChar** items;       // a VersionList: released with freeVersionList
};
// False, with everything null, when the metadata is not present or memory runs out.
bool derivedPage(const JarMetadata& metadata, DerivedPage* out);
void freeDerivedPage(DerivedPage* page);

// Whether a value still holds a build tool's placeholder: ${name} or @name@.
bool isBuildPlaceholder(const char* text, size_t length);

// A jar opened by its path for one call, as every feature opens it: the file,
// then its directory walked once. ready() is false when the file cannot be
// opened or is no zip the reader accepts.
class OpenJar {
public:
    explicit OpenJar(const PathChar* path) : file_(path), reader_(file_) { ready_ = file_.isOpen() && reader_.open(); }
    bool ready() const { return ready_; }
    JarReader& reader() { return reader_; }
    // The file, for a member the walk did not note (a descriptor's icon).
    ByteSource& source() { return file_; }

private:
    ArchiveFile file_;
    JarReader reader_;
    bool ready_;
};

// The file name of a path as the metadata request wants it: UTF-8, in a new
// coreAlloc string (null when memory runs out).
char* jarFileNameOf(const PathChar* path);
