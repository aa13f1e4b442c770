#include "properties/PropertyValues.h"

#include <cstring>

#include "base/CoreAlloc.h"
#include "base/Holder.h"
#include "infotip/Description.h"
#include "metadata/JarMetadata.h"
#include "text/TextConvert.h"
#include "versionpage/VersionFile.h"

namespace {

WChar* copyWide(const WChar* text) {
    if (!text) return nullptr;
    size_t n = 0;
    while (text[n]) ++n;
    WChar* copy = coreAllocArray<WChar>(n + 1);
    if (copy) std::memcpy(copy, text, (n + 1) * sizeof(WChar));
    return copy;
}

// Sets the property unless an earlier source gave it; false when memory ran out.
bool offer(JarPropertyValues* out, JarProperty property, const WChar* text) {
    if (!text || !text[0] || out->text[property]) return true;
    out->text[property] = copyWide(text);
    return out->text[property] != nullptr;
}

bool offerUtf8(JarPropertyValues* out, JarProperty property, const char* text) {
    if (!text || !text[0] || out->text[property]) return true;
    CorePtr<WChar> wide(utf8ToWide(text, std::strlen(text)));
    return wide && offer(out, property, wide.get());
}

// The version member's rows: the page's three fields.
bool offerVersionRows(JarReader& reader, JarPropertyValues* out) {
    MemberBuffer member = {0, nullptr};
    int status = reader.readShellMember(kShellVersion, &member);
    if (status >= kArchiveUnusable) return true;
    MemberHolder held(&member);
    if (status != kMemberRead || member.length == 0) return true;
    VersionList* list = parseVersionList(member.data, member.length);
    if (!list) return true;
    auto field = [list](VersionField f) -> WChar* {
        int line = versionFieldLine(list, f);
        return line < 0 ? nullptr : splitVersionLine(list[line]).value;
    };
    bool good = offer(out, kPropertyProductVersion, field(kFileVersionField)) &&
                offer(out, kPropertyFileVersion, field(kFileVersionField)) &&
                offer(out, kPropertyProductName, field(kDescriptionField)) &&
                offer(out, kPropertyTitle, field(kDescriptionField)) &&
                offer(out, kPropertyCopyright, field(kCopyrightField));
    freeVersionList(&list);
    return good;
}

// The description member's text for the locale, as the tooltip shows it.
bool offerDescription(JarReader& reader, const char* localeName, JarPropertyValues* out) {
    MemberBuffer member = {0, nullptr};
    int status = reader.readShellMember(kShellDescription, &member);
    if (status >= kArchiveUnusable) return true;
    MemberHolder held(&member);
    if (status != kMemberRead || member.length == 0) return true;
    CorePtr<WChar> text(describeFromText(member.data, member.length, localeName, " "));
    return offer(out, kPropertyFileDescription, text.get()) && offer(out, kPropertyComment, text.get());
}

}  // namespace

bool readJarProperties(ByteSource& source, const char* fileName, const char* localeName, bool standardMetadata,
                       JarPropertyValues* out) {
    *out = JarPropertyValues{};
    JarReader reader(source);
    if (!reader.open()) return false;
    bool good = offerVersionRows(reader, out) && offerDescription(reader, localeName, out);
    if (good && standardMetadata) {
        JarMetadataRequest request = {fileName, localeName, kMetadataForPage};
        JarMetadata metadata;
        if (reader.readMetadata(request, &metadata)) {
            const char* name = metadata.text(kJarName);
            const char* version = metadata.text(kJarVersion);
            const char* copyright = metadata.text(kJarCopyright);
            good = offerUtf8(out, kPropertyProductName, name) && offerUtf8(out, kPropertyTitle, name) &&
                   offerUtf8(out, kPropertyProductVersion, version) && offerUtf8(out, kPropertyFileVersion, version) &&
                   offerUtf8(out, kPropertyCompany, metadata.text(kJarVendor)) &&
                   offerUtf8(out, kPropertyCopyright, copyright) &&
                   offerUtf8(out, kPropertyFileDescription, metadata.text(kJarDescription)) &&
                   offerUtf8(out, kPropertyComment, metadata.text(kJarDescription)) &&
                   offerUtf8(out, kPropertyAuthor, metadata.text(kJarAuthors));
        }
    }
    if (!good) freeJarProperties(out);
    return good;
}

void freeJarProperties(JarPropertyValues* values) {
    for (WChar*& text : values->text) {
        coreFree(text);
        text = nullptr;
    }
}
