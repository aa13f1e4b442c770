#pragma once
// Strict conversions between UTF-8, UTF-16 and (on Windows) the ANSI code page,
// the quote-joined name list and the string-record stream. Every string result
// is a new coreAlloc block owned by the caller (released with coreFree), or null
// on failure; nothing is ever substituted for a bad sequence.
#include <cstddef>
#include <cstdio>

#include "base/WideChar.h"

// length bytes of UTF-8 (need not be terminated) -> new UTF-16 string, or null.
// Only well-formed UTF-8 is accepted: overlong forms, encoded surrogates, values
// above 0x10FFFF, stray continuation bytes and a sequence cut off by the end
// give null. Zero bytes give an empty string; a NUL byte gives a 0 unit, so the
// result reads as ending there. No byte-order mark is skipped.
WChar* utf8ToWide(const char* bytes, size_t length);
// Whether length bytes are well-formed UTF-8, by the rules utf8ToWide applies.
bool isWellFormedUtf8(const char* bytes, size_t length);
// count units of UTF-16 (terminator not counted) -> new UTF-8 string, or null.
// A surrogate that is not part of a high-low pair gives null.
char* wideToUtf8(const WChar* text, size_t count);

// Whether a byte of ANSI text begins a two-byte character of the code page.
using LeadByteTest = bool (*)(unsigned char);

// Double-NUL list -> "\"a\" \"b\" " (every item quoted and followed by a blank).
// Nothing is escaped, except that an item's trailing backslashes are doubled
// before its closing quote, so a drive root such as C:\ reaches the program
// as it is. ANSI items are walked by isLeadByte's characters (null: one byte
// each), so a backslash byte inside a double-byte character is not doubled.
char* quoteJoinList(const char* list, LeadByteTest isLeadByte = nullptr);
WChar* quoteJoinListW(const WChar* list);

// String records: a 4-byte big-endian length N, then N bytes of UTF-8.
// count -1 means the whole string up to its terminator. Result: bytes written or -1.
long writeStringRecord(FILE* out, const WChar* text, long count);
// One record per item of a wide double-NUL list. A null or empty list gives -1
// and writes nothing; after a failed record the earlier ones stay written.
long writeStringRecordList(FILE* out, const WChar* list);
// The record of length 0 that tells the reader the names are complete: 4 or -1.
long writeStringListEnd(FILE* out);

// New NUL-terminated copy of length bytes, or null.
char* copyText(const char* text, size_t length);

#ifdef _WIN32
// ANSI (CP_ACP) -> new UTF-16 string; null in, null out.
WChar* ansiToWide(const char* text);
// UTF-16 -> new ANSI (CP_ACP) string, exactly: null when a character has no
// form in the code page (no best-fit look-alikes, no "?"), or null in.
char* wideToAnsi(const WChar* text);
// The lead-byte test of the ANSI code page, for quoteJoinList.
bool isAnsiLeadByte(unsigned char byte);
#endif
