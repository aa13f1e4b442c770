#include "versionpage/VersionFile.h"

#include <cstring>

#include "archive/ArchiveReader.h"
#include "base/CoreAlloc.h"
#include "base/Holder.h"
#include "metadata/JarMetadata.h"
#include "text/MetadataText.h"
#include "text/TextConvert.h"

namespace {

// An escaped n in a value is a line break that the page's value box shows.
constexpr char kVersionLineBreak[] = "\r\n";

// mapLines' transform: a line decoded over its whole length. A line that is
// not UTF-8 gives null, which ends the list there.
void* decodeLine(const char* line, void*) { return utf8ToWide(line, std::strlen(line)); }

// The names are ASCII, so each unit of a name compares with one byte.
struct WellKnownName {
    const char* name;
    VersionField field;
};

const WellKnownName kWellKnownNames[] = {
    {"Version", kFileVersionField},
    {"Description", kDescriptionField},
    {"Copyright", kCopyrightField},
};

bool sameName(const char* known, const WChar* name, size_t nameLength) {
    size_t i = 0;
    for (; i < nameLength; ++i)
        if (known[i] == '\0' || static_cast<WChar>(static_cast<unsigned char>(known[i])) != name[i]) return false;
    return known[i] == '\0';
}

}  // namespace

VersionList* parseVersionList(const char* bytes, size_t length, size_t* memberLines) {
    LineArray<char> lines(splitMetadataLines(bytes, length, kVersionLineBreak));
    if (!lines) return nullptr;
    if (memberLines)
        for (*memberLines = 0; lines.get()[*memberLines];) ++*memberLines;
    return reinterpret_cast<VersionList*>(mapLines(lines.get(), decodeLine, nullptr));
}

VersionList* readVersionList(const PathChar* archivePath) {
    MetadataMember member(archivePath, MEMBER_VERSION);
    if (!member.present()) return nullptr;
    return parseVersionList(member.data(), member.length());
}

void freeVersionList(VersionList** list) {
    freeLines(*list);
    *list = nullptr;
}

size_t versionLineCount(const VersionList* list) {
    size_t count = 0;
    if (list)
        while (list[count]) ++count;
    return count;
}

VersionItem splitVersionLine(WChar* line) {
    size_t n = 0;
    while (line[n] != 0 && line[n] != '=') ++n;
    return VersionItem{n, line[n] == '=' ? line + n + 1 : nullptr};
}

VersionField versionFieldOf(const WChar* name, size_t nameLength) {
    for (const WellKnownName& known : kWellKnownNames)
        if (sameName(known.name, name, nameLength)) return known.field;
    return kNoVersionField;
}

int versionFieldLine(const VersionList* list, VersionField field) {
    int found = -1;
    // Every line with the name sets the field in turn, so the last one shows.
    for (size_t i = 0; list && list[i]; ++i)
        if (versionFieldOf(list[i], splitVersionLine(list[i]).nameLength) == field) found = int(i);
    return found;
}

const char* versionFieldName(VersionField field) {
    for (const WellKnownName& known : kWellKnownNames)
        if (known.field == field) return known.name;
    return nullptr;
}

bool readVersionPage(const PathChar* archivePath, const char* localeName, bool standardMetadata,
                     VersionPageContent* out) {
    *out = VersionPageContent{};
    OpenJar jar(archivePath);
    if (!jar.ready()) return false;
    MemberBuffer member = {0, nullptr};
    int status = jar.reader().readShellMember(kShellVersion, &member);
    if (status == kMemberRead && member.length > 0) out->list = parseVersionList(member.data, member.length);
    if (status < kArchiveUnusable) freeArchiveMember(&member);
    if (versionLineCount(out->list) > 0) return true;
    if (!standardMetadata) return false;
    CorePtr<char> fileName(jarFileNameOf(archivePath));
    JarMetadataRequest request = {fileName.get(), localeName, kMetadataForPage};
    JarMetadata metadata;
    DerivedPage page;
    if (!jar.reader().readMetadata(request, &metadata) || !derivedPage(metadata, &page)) return false;
    freeVersionList(&out->list);
    out->list = page.items;
    out->fields[0] = page.fileVersion;
    out->fields[1] = page.description;
    out->fields[2] = page.copyright;
    out->derived = true;
    return true;
}

void freeVersionPageContent(VersionPageContent* content) {
    freeVersionList(&content->list);
    for (WChar*& field : content->fields) {
        coreFree(field);
        field = nullptr;
    }
}
