#pragma once
// The tooltip's text: the line of "shell-meta-inf/description" for a locale
// name, its language or "default=", decoded for the shell.
#include <cstddef>

#include "base/WideChar.h"

// The description lookup's scan: a copy of the first key1 line, else of the
// first key2 line, else of the first key3 line, else null. A null key matches
// no line.
char* findKeyLine(const char* bytes, size_t length, const char* key1, const char* key2,
                  const char* key3);
// The description lookup over a member's bytes: the value of the line with the
// key of the full locale name (its first five characters, "en_US="), else of the
// first line with the language key ("en="), else of the first "default=" line,
// with its escapes undone (lineBreak for \n) and decoded from UTF-8. Null when
// no line has a key, the value is not UTF-8 or memory runs out.
WChar* describeFromText(const char* bytes, size_t length, const char* localeName,
                        const char* lineBreak);
// The tooltip text of the archive for a locale name such as "en_US", or null:
// describeFromText over the member "shell-meta-inf/description".
WChar* readDescription(const char* archivePath, const char* localeName, const char* lineBreak);
