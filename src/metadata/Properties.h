#pragma once
// Properties files (a Maven pom.properties, an OSGi bundle's translations)
// read as java.util.Properties.load(InputStream) reads them:
//
//   bytes     ISO-8859-1; "\uXXXX" (exactly four hex digits) is one UTF-16 unit
//   lines     end at CR LF, LF or CR; a line ending in an odd number of
//             backslashes continues on the next, whose leading blanks go
//   comments  lines whose first non-blank character is "#" or "!"
//   blanks    space, TAB and form feed; leading ones are skipped
//   key       up to the first "=", ":" or blank that no backslash escapes
//   value     after blanks and at most one "=" or ":", to the line's end
//   escapes   \t \r \n \f, "\" before any other character gives that character
//
// A later key replaces an earlier one. A malformed "\u" escape makes the JVM
// refuse the whole file: it then gives nothing.
#include <cstddef>
#include <cstdint>

// Longer keys and values are kept as present but unusable.
constexpr size_t kMaxPropertyKey = 1024;
constexpr size_t kMaxPropertyValue = 4096;

// One key and its value in UTF-8, terminated; either is null when unusable
// (too long, or a UTF-16 surrogate without its partner).
struct PropertyEntry {
    const char* key;
    size_t keyLength;
    const char* value;
    size_t valueLength;
    uint32_t line;  // the line (from 1) on which the entry begins
};

// Called for each entry in file order; the texts live only during the call.
typedef void (*PropertyVisitor)(const PropertyEntry& entry, void* context);

// Visits the entries of a properties file; false when the JVM would refuse
// it, in which case the caller must forget what was visited.
bool readProperties(const char* bytes, size_t length, PropertyVisitor visit, void* context);

// The values of a few keys: value[i] receives a coreAlloc copy of the value of
// the last entry with keys[i] (null when there is none or it is unusable) and
// line[i] its line. False, with every value null, when the file is refused or
// memory ran out (*noMemory then tells which, where given).
bool findProperties(const char* bytes, size_t length, const char* const* keys, size_t count, char** values,
                    uint32_t* lines, bool* noMemory = nullptr);
