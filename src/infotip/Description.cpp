#include "infotip/Description.h"

#include <cstring>

#include "archive/ArchiveReader.h"
#include "base/CoreAlloc.h"
#include "base/Holder.h"
#include "metadata/JarMetadata.h"
#include "text/LocaleNames.h"
#include "text/MetadataText.h"
#include "text/TextConvert.h"

namespace {

// The description keys: the full locale name ("en_US="), its language ("en=")
// and the default. A name shorter than five characters forms the first key
// from the whole name ("en" gives "en=").
constexpr size_t kFullLocaleLength = 5;
constexpr size_t kLanguageLength = 2;

// How many characters of the locale name a key takes.
size_t keyNameLength(const char* localeName, size_t maxLength) {
    size_t n = 0;
    while (n < maxLength && localeName[n] != '\0') ++n;
    return n;
}

void formKey(char* key, const char* localeName, size_t maxLength) {
    size_t n = keyNameLength(localeName, maxLength);
    std::memcpy(key, localeName, n);
    key[n] = '=';
    key[n + 1] = '\0';
}

// One pass over the text: the first key1 line wins at once, else the first
// key2 line, else the first key3 line.
DescriptionChoice scanKeyLines(const char* bytes, size_t length, const char* key1, const char* key2,
                               const char* key3) {
    DescriptionChoice key2Line = {kNoDescriptionLine, nullptr, 0};
    DescriptionChoice key3Line = {kNoDescriptionLine, nullptr, 0};
    const char* line;
    size_t lineLength;
    for (LineScanner scan(bytes, length); scan.next(&line, &lineLength);) {
        if (lineHasKey(line, lineLength, key1)) return {kLocaleKeyLine, line, lineLength};
        if (!key2Line.line && lineHasKey(line, lineLength, key2)) {
            key2Line = {kLanguageKeyLine, line, lineLength};
        } else if (!key3Line.line && lineHasKey(line, lineLength, key3)) {
            key3Line = {kDefaultKeyLine, line, lineLength};
        }
    }
    return key2Line.line ? key2Line : key3Line;
}

bool sameKey(const char* key, size_t length, const char* localeName, size_t maxLength) {
    return keyNameLength(localeName, maxLength) == length && std::memcmp(key, localeName, length) == 0;
}

}  // namespace

char* findKeyLine(const char* bytes, size_t length, const char* key1, const char* key2,
                  const char* key3) {
    DescriptionChoice choice = scanKeyLines(bytes, length, key1, key2, key3);
    return choice.line ? copyText(choice.line, choice.length) : nullptr;
}

DescriptionChoice chooseDescriptionLine(const char* bytes, size_t length, const char* localeName) {
    if (!localeName) return {kNoDescriptionLine, nullptr, 0};
    // Keys live on the stack: lookups on several shell threads share nothing.
    char fullKey[kFullLocaleLength + 2];
    char languageKey[kLanguageLength + 2];
    formKey(fullKey, localeName, kFullLocaleLength);
    formKey(languageKey, localeName, kLanguageLength);
    // An empty name would give the key "=", which no description means.
    bool named = localeName[0] != '\0';
    return scanKeyLines(bytes, length, named ? fullKey : nullptr, named ? languageKey : nullptr,
                        DESCRIPTION_DEFAULT_KEY);
}

WChar* decodeDescriptionLine(const char* line, size_t length, const char* lineBreak) {
    if (!line) return nullptr;
    const char* equals = static_cast<const char*>(std::memchr(line, '=', length));
    if (!equals) return nullptr;
    const char* value = equals + 1;
    CorePtr<char> unescaped(unescapeValue(value, length - size_t(value - line), lineBreak));
    if (!unescaped) return nullptr;
    return utf8ToWide(unescaped.get(), std::strlen(unescaped.get()));
}

WChar* describeFromText(const char* bytes, size_t length, const char* localeName,
                        const char* lineBreak) {
    DescriptionChoice choice = chooseDescriptionLine(bytes, length, localeName);
    return decodeDescriptionLine(choice.line, choice.length, lineBreak);
}

WChar* readDescription(const PathChar* archivePath, const char* localeName, const char* lineBreak) {
    MetadataMember member(archivePath, MEMBER_DESCRIPTION);
    if (!member.present()) return nullptr;
    return describeFromText(member.data(), member.length(), localeName, lineBreak);
}

WChar* readTooltip(const PathChar* archivePath, const char* localeName, const char* lineBreak, bool standardMetadata) {
    OpenJar jar(archivePath);
    if (!jar.ready()) return nullptr;
    MemberBuffer member = {0, nullptr};
    int status = jar.reader().readShellMember(kShellDescription, &member);
    CorePtr<WChar> tip;
    if (status == kMemberRead && member.length > 0) tip.reset(describeFromText(member.data, member.length, localeName, lineBreak));
    if (status < kArchiveUnusable) freeArchiveMember(&member);
    if (tip || !standardMetadata) return tip.release();
    CorePtr<char> fileName(jarFileNameOf(archivePath));
    JarMetadataRequest request = {fileName.get(), localeName, kMetadataForTooltip};
    JarMetadata metadata;
    if (!jar.reader().readMetadata(request, &metadata)) return nullptr;
    return derivedTooltip(metadata);
}

bool isDescriptionKeyReachable(const char* key, size_t length) {
    if (!key) return false;
    const size_t defaultLength = std::strlen(DESCRIPTION_DEFAULT_KEY) - 1;
    if (length == defaultLength && std::memcmp(key, DESCRIPTION_DEFAULT_KEY, length) == 0) return true;
    if (length > kFullLocaleLength) return false;
    size_t count = 0;
    const LocaleName* table = localeNameTable(&count);
    for (size_t i = 0; i < count; ++i)
        if (sameKey(key, length, table[i].name, kFullLocaleLength) ||
            sameKey(key, length, table[i].name, kLanguageLength))
            return true;
    return false;
}
