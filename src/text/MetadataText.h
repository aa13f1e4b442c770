#pragma once
// The key=value text of the shell-meta-inf members: lines end at CR or LF,
// empty lines are skipped, a NUL byte ends the text, escapes (\\ \t \n) are
// undone per line. Results are coreAlloc blocks.
#include <cstddef>

#include "text/WideChar.h"

// Array of new strings, one per non-empty line (escapes undone), ended by a null
// entry; null when memory runs out.
char** splitMetadataLines(const char* bytes, size_t length, const char* lineBreak);
// New string with the escapes of length bytes undone; null on no memory or null text.
char* unescapeValue(const char* text, size_t length, const char* lineBreak);
// Index of the first line that begins with key, or -1.
int findLineIndexByPrefix(char* const* lines, const char* key);
// New array: entry i = transform(lines[i], userData), then a null entry.
typedef void* (*LineTransform)(const char* line, void* userData);
void** mapLines(char* const* lines, LineTransform transform, void* userData);
// Frees the entries before the first null entry, then the array. Null is fine.
void freeLineArray(void** lines);
inline void freeLines(char** lines) { freeLineArray(reinterpret_cast<void**>(lines)); }
inline void freeLines(WChar** lines) { freeLineArray(reinterpret_cast<void**>(lines)); }
// The description lookup's scan: a copy of the first key1 line, else of the
// first key2 line, else of the first key3 line, else null.
char* findKeyLine(const char* bytes, size_t length, const char* key1, const char* key2,
                  const char* key3);
// The tooltip text of the archive for a locale name such as "en_US", or null.
WChar* readDescription(const char* archivePath, const char* localeName, const char* lineBreak);
