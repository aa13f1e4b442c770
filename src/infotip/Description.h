#pragma once
// The tooltip's text: the line of "shell-meta-inf/description" for a locale
// name, its language or "default=", decoded for the shell.
#include <cstddef>

#include "base/WideChar.h"

// The locale whose lines the tooltip tries when the user's locale is not in
// the locale table.
#define TIP_FALLBACK_LOCALE "en_US"
// An escaped n shows as a line break in the tooltip.
#define TIP_LINE_BREAK "\r\n"
// The key of the line that serves every locale without a line of its own.
#define DESCRIPTION_DEFAULT_KEY "default="

// The description lookup's scan: a copy of the first key1 line, else of the
// first key2 line, else of the first key3 line, else null. A null key matches
// no line.
char* findKeyLine(const char* bytes, size_t length, const char* key1, const char* key2,
                  const char* key3);

// Which of the lookup's keys chose a line.
enum DescriptionRule { kNoDescriptionLine, kLocaleKeyLine, kLanguageKeyLine, kDefaultKeyLine };
// The chosen line inside the member's bytes (without its line end); line is
// null when no line has a key.
struct DescriptionChoice {
    DescriptionRule rule;
    const char* line;
    size_t length;
};
// The line the lookup takes for a locale name: the first line with the key of
// the full locale name (its first five characters, "en_US="), else the first
// with the language key ("en="), else the first "default=" line.
DescriptionChoice chooseDescriptionLine(const char* bytes, size_t length, const char* localeName);
// A line's value (after its first "="), escapes undone (lineBreak for \n) and
// decoded from UTF-8. Null when the line has no "=", the value is not UTF-8
// or memory runs out.
WChar* decodeDescriptionLine(const char* line, size_t length, const char* lineBreak);
// The description lookup over a member's bytes: the chosen line, decoded.
WChar* describeFromText(const char* bytes, size_t length, const char* localeName,
                        const char* lineBreak);
// The tooltip text of the archive for a locale name such as "en_US", or null:
// describeFromText over the member "shell-meta-inf/description".
WChar* readDescription(const PathChar* archivePath, const char* localeName, const char* lineBreak);

// The tooltip of the archive, from one open of the jar and one walk over its
// directory: the description member's text for the locale, and where that
// gives none and standardMetadata is on, the tooltip made of the name,
// version, description and vendor the jar carries in its manifest, pom or
// module descriptor. Null when there is neither.
WChar* readTooltip(const PathChar* archivePath, const char* localeName, const char* lineBreak, bool standardMetadata);

// Whether a line whose key (the bytes before its "=") is these length bytes
// can ever be chosen: "default", or the key that some name of the locale
// table forms, in full or as its language.
bool isDescriptionKeyReachable(const char* key, size_t length);
