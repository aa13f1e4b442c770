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
// Walks the non-empty lines of a text in order, without copying: a NUL byte
// ends the text early.
class LineScanner {
public:
    LineScanner(const char* bytes, size_t length) : text_(bytes), end_(bytes ? length : 0) {}

    // The next non-empty line as [*start, *start + *length); false at the end.
    bool next(const char** start, size_t* length);

private:
    const char* text_;
    size_t end_;
    size_t pos_ = 0;
};

// Whether the line of length bytes starts with exactly the key's bytes (the
// key includes its "="). A null key matches no line.
bool lineHasKey(const char* line, size_t length, const char* key);

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
