#pragma once
// What the property handler reports for a jar, platform-free: the values of
// its shell-meta-inf members first (the version member's Version, Description
// and Copyright rows, the description member's text for the locale), then its
// standard metadata, each property only where the jar gives it.
#include <cstddef>

#include "archive/ArchiveReader.h"
#include "base/WideChar.h"

enum JarProperty {
    kPropertyProductName,     // System.Software.ProductName
    kPropertyTitle,           // System.Title
    kPropertyProductVersion,  // System.Software.ProductVersion
    kPropertyFileVersion,     // System.FileVersion
    kPropertyCompany,         // System.Company
    kPropertyCopyright,       // System.Copyright
    kPropertyFileDescription, // System.FileDescription
    kPropertyComment,         // System.Comment
    kPropertyAuthor,          // System.Author: the authors a mod's descriptor lists, "A, B"
    kPropertyCount
};

struct JarPropertyValues {
    WChar* text[kPropertyCount];  // coreAlloc strings, null where the jar gives nothing
};

// Reads the jar from source (one walk over its directory). False, with every
// value null, when the source holds no zip the reader accepts or memory runs
// out; a jar that says nothing gives true and no values. fileName is the jar's
// file name in UTF-8 (for its own pom), localeName the user's ("de_AT").
bool readJarProperties(ByteSource& source, const char* fileName, const char* localeName, bool standardMetadata,
                       JarPropertyValues* out);
void freeJarProperties(JarPropertyValues* values);
