#include "infotip/Description.h"

#include <cstring>

#include "archive/ArchiveReader.h"
#include "base/CoreAlloc.h"
#include "base/Holder.h"
#include "text/MetadataText.h"
#include "text/TextConvert.h"

namespace {

// The description keys: the full locale name ("en_US="), its language ("en=")
// and the default. A name shorter than five characters forms the first key
// from the whole name ("en" gives "en=").
constexpr size_t kFullLocaleLength = 5;
constexpr size_t kLanguageLength = 2;
constexpr char kDefaultKey[] = "default=";

void formKey(char* key, const char* localeName, size_t maxLength) {
    size_t n = 0;
    while (n < maxLength && localeName[n] != '\0') ++n;
    std::memcpy(key, localeName, n);
    key[n] = '=';
    key[n + 1] = '\0';
}

}  // namespace

char* findKeyLine(const char* bytes, size_t length, const char* key1, const char* key2,
                  const char* key3) {
    const char* key2Line = nullptr;
    size_t key2Length = 0;
    const char* key3Line = nullptr;
    size_t key3Length = 0;
    const char* line;
    size_t lineLength;
    for (LineScanner scan(bytes, length); scan.next(&line, &lineLength);) {
        if (lineHasKey(line, lineLength, key1)) return copyText(line, lineLength);
        if (!key2Line && lineHasKey(line, lineLength, key2)) {
            key2Line = line;
            key2Length = lineLength;
        } else if (!key3Line && lineHasKey(line, lineLength, key3)) {
            key3Line = line;
            key3Length = lineLength;
        }
    }
    if (key2Line) return copyText(key2Line, key2Length);
    if (key3Line) return copyText(key3Line, key3Length);
    return nullptr;
}

WChar* describeFromText(const char* bytes, size_t length, const char* localeName,
                        const char* lineBreak) {
    if (!localeName) return nullptr;
    // Keys live on the stack: lookups on several shell threads share nothing.
    char fullKey[kFullLocaleLength + 2];
    char languageKey[kLanguageLength + 2];
    formKey(fullKey, localeName, kFullLocaleLength);
    formKey(languageKey, localeName, kLanguageLength);
    // An empty name would give the key "=", which no description means.
    bool named = localeName[0] != '\0';

    CorePtr<char> line(findKeyLine(bytes, length, named ? fullKey : nullptr,
                                   named ? languageKey : nullptr, kDefaultKey));
    if (!line) return nullptr;
    const char* equals = std::strchr(line.get(), '=');
    if (!equals) return nullptr;
    const char* value = equals + 1;
    CorePtr<char> unescaped(unescapeValue(value, std::strlen(value), lineBreak));
    if (!unescaped) return nullptr;
    return utf8ToWide(unescaped.get(), std::strlen(unescaped.get()));
}

WChar* readDescription(const char* archivePath, const char* localeName, const char* lineBreak) {
    MetadataMember member(archivePath, MEMBER_DESCRIPTION);
    if (!member.present()) return nullptr;
    return describeFromText(member.data(), member.length(), localeName, lineBreak);
}
