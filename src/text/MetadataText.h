#pragma once
// The key=value text of the shell-meta-inf members: lines end at CR or LF,
// empty lines are skipped, a NUL byte ends the text, escapes (\\ \t \n) are
// undone per line. Results are coreAlloc blocks.
#include <cstddef>

#include "base/Holder.h"
#include "base/WideChar.h"

// Array of new strings, one per non-empty line (escapes undone), ended by a null
// entry; null when memory runs out.
char** splitMetadataLines(const char* bytes, size_t length, const char* lineBreak);
// New string with the escapes of length bytes undone; null on no memory or null text.
char* unescapeValue(const char* text, size_t length, const char* lineBreak);
// Index of the first line that begins with key, or -1 (also for null lines or key).
int findLineIndexByPrefix(char* const* lines, const char* key);
// New array: entry i = transform(lines[i], userData), then a null entry; null
// when memory runs out. The first line that transform turns into null ends the
// array there: the lines after it are not transformed.
typedef void* (*LineTransform)(const char* line, void* userData);
void** mapLines(char* const* lines, LineTransform transform, void* userData);
// Frees the entries before the first null entry, then the array. Null is fine.
void freeLineArray(void** lines);
inline void freeLines(char** lines) { freeLineArray(reinterpret_cast<void**>(lines)); }
inline void freeLines(WChar** lines) { freeLineArray(reinterpret_cast<void**>(lines)); }

template <typename T>
struct LineArrayTraits {
    using Type = T**;
    static Type invalid() { return nullptr; }
    static void close(Type lines) { freeLines(lines); }
};
// A line array of char (splitMetadataLines) or WChar (mapped with utf8ToWide).
template <typename T>
using LineArray = Holder<LineArrayTraits<T>>;

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
