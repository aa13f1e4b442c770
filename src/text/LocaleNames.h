#pragma once
// Windows locale identifiers -> the short locale names that pick a line of the
// description member ("en_US", "de_CH", "no_NO_NY", or a bare language "en").
#include <cstddef>
#include <cstdint>

struct LocaleName {
    uint16_t languageId;  // primary language in the low ten bits, sublanguage above
    const char* name;
};

// The whole table, ascending by languageId, each identifier once.
const LocaleName* localeNameTable(size_t* count);

// The name for a locale identifier: the entry of its language identifier (low
// 16 bits), else that of its primary language (low ten bits), else null. The
// sort-order bits above are ignored. The result is a constant string.
const char* findLocaleName(uint32_t localeId);

// The first table entry whose name is exactly name, or null.
const LocaleName* findLocaleByName(const char* name);

#ifdef _WIN32
// The calling thread's locale name (GetThreadLocale) as a new coreAlloc string,
// or null when the table knows neither its language nor its primary language.
char* userLocaleName();
#endif
