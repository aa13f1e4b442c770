#include "text/MetadataText.h"

#include <climits>
#include <cstdint>
#include <cstring>

#include "base/CoreAlloc.h"
#include "base/Holder.h"
#include "base/TextUnits.h"
#include "text/TextConvert.h"

// The text of a shell-meta-inf member, as read here:
//
//   text    = *( line / eol ) [ NUL *OCTET ]   ; also ends where its length ends
//   line    = 1*( OCTET except CR, LF, NUL )   ; empty lines do not exist
//   eol     = CR / LF                          ; in any mix and any number
//   line    =/ key value
//   key     = the bytes up to and including the first "="
//   value   = the rest of the line, untrimmed
//
// A line "has" a key when it starts with exactly the key's bytes (the key
// includes its "="); nothing is skipped or folded before the comparison.
// Escapes are undone per line, after the text has been cut into lines.

namespace {

bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

// What an escape "\c" stands for; false when c is no escape letter (the
// backslash and c then stay as they are).
bool escapeReplacement(char c, const char* lineBreak, const char** piece, size_t* pieceLength) {
    switch (c) {
        case '\\':
            *piece = "\\";
            *pieceLength = 1;
            return true;
        case 't':
            *piece = "\t";
            *pieceLength = 1;
            return true;
        case 'n':
            *piece = lineBreak;
            *pieceLength = std::strlen(lineBreak);
            return true;
        default:
            return false;
    }
}

// Undoes the escapes of length bytes into out, or only measures when out is
// null. Returns the number of bytes produced (no terminator), or SIZE_MAX when
// that does not fit in memory.
size_t unescapeInto(char* out, const char* text, size_t length, const char* lineBreak) {
    size_t produced = 0;
    auto emit = [&](const char* piece, size_t n) {
        if (out) std::memcpy(out + produced, piece, n);
        return addSize(&produced, n);
    };
    bool pendingBackslash = false;
    for (size_t i = 0; i < length; ++i) {
        char c = text[i];
        bool fits;
        if (!pendingBackslash) {
            pendingBackslash = c == '\\';
            fits = pendingBackslash || emit(&text[i], 1);
        } else {
            pendingBackslash = false;
            const char* piece;
            size_t pieceLength;
            fits = escapeReplacement(c, lineBreak, &piece, &pieceLength) ? emit(piece, pieceLength)
                                                                         : emit(&text[i - 1], 2);
        }
        if (!fits) return SIZE_MAX;
    }
    // A backslash at the very end of the line escapes nothing and is dropped.
    return produced;
}

}  // namespace

bool LineScanner::next(const char** start, size_t* length) {
    while (pos_ < end_ && isLineEnd(text_[pos_])) ++pos_;
    if (pos_ < end_ && text_[pos_] == '\0') end_ = pos_;
    if (pos_ >= end_) return false;
    size_t first = pos_;
    while (pos_ < end_ && !isLineEnd(text_[pos_]) && text_[pos_] != '\0') ++pos_;
    *start = text_ + first;
    *length = pos_ - first;
    return true;
}

bool lineHasKey(const char* line, size_t length, const char* key) {
    if (!key) return false;
    size_t keyLength = std::strlen(key);
    return keyLength <= length && std::memcmp(line, key, keyLength) == 0;
}

char* unescapeValue(const char* text, size_t length, const char* lineBreak) {
    if (!text) return nullptr;
    if (!lineBreak) lineBreak = "";
    size_t size = unescapeInto(nullptr, text, length, lineBreak);
    if (size == SIZE_MAX) return nullptr;
    char* result = coreAllocArray<char>(size + 1);
    if (!result) return nullptr;
    unescapeInto(result, text, length, lineBreak);
    result[size] = '\0';
    return result;
}

char** splitMetadataLines(const char* bytes, size_t length, const char* lineBreak) {
    size_t count = 0;
    const char* line;
    size_t lineLength;
    for (LineScanner scan(bytes, length); scan.next(&line, &lineLength);) ++count;

    if (count == SIZE_MAX) return nullptr;
    char** lines = coreAllocArray<char*>(count + 1);
    if (!lines) return nullptr;
    size_t made = 0;
    lines[0] = nullptr;
    for (LineScanner scan(bytes, length); scan.next(&line, &lineLength);) {
        char* unescaped = unescapeValue(line, lineLength, lineBreak);
        if (!unescaped) {
            freeLines(lines);
            return nullptr;
        }
        lines[made++] = unescaped;
        lines[made] = nullptr;
    }
    return lines;
}

int findLineIndexByPrefix(char* const* lines, const char* key) {
    if (!lines || !key) return -1;
    size_t keyLength = std::strlen(key);
    for (int i = 0; lines[i] && i < INT_MAX; ++i)
        if (std::strncmp(lines[i], key, keyLength) == 0) return i;
    return -1;
}

void** mapLines(char* const* lines, LineTransform transform, void* userData) {
    if (!lines || !transform) return nullptr;
    size_t count = 0;
    while (lines[count]) ++count;
    if (count == SIZE_MAX) return nullptr;
    void** mapped = coreAllocArray<void*>(count + 1);
    if (!mapped) return nullptr;
    for (size_t i = 0; i <= count; ++i) mapped[i] = nullptr;
    // The first line that the transform refuses ends the array: anything stored
    // after a null entry could never be reached, and freeLines would leak it.
    for (size_t i = 0; i < count; ++i) {
        mapped[i] = transform(lines[i], userData);
        if (!mapped[i]) break;
    }
    return mapped;
}

void freeLineArray(void** lines) {
    if (!lines) return;
    for (size_t i = 0; lines[i]; ++i) coreFree(lines[i]);
    coreFree(lines);
}
