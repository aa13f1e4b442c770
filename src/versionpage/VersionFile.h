#pragma once
// The "shell-meta-inf/version" member: UTF-8 lines of name=value, shown on the
// "Version" page of the jar's properties.
//
//   member  = the metadata text of text/MetadataText.h, \n read as CR LF
//   item    = name [ "=" value ]    ; one per non-empty line, in file order
//   name    = the line up to its first "=" (the whole line without one)
//   value   = the rest of the line, further "=" included; may be empty
//
// Decoding stops at the first line that is not well-formed UTF-8: the lines
// before it are kept, that line and every later one are left out.
#include <cstddef>

#include "base/WideChar.h"

// One wide text per line, in file order, ended by a null entry: a VersionList*
// is that array. It may hold no lines at all.
typedef WChar* VersionList;

// The member's bytes parsed into a new list; null when memory runs out. With
// memberLines given, it receives the number of non-empty lines the member
// has, so a list shorter than that ended at a line that is not UTF-8.
VersionList* parseVersionList(const char* bytes, size_t length, size_t* memberLines = nullptr);
// The archive's version member parsed into a new list; null when the member is
// missing, empty or unreadable, or memory runs out.
VersionList* readVersionList(const PathChar* archivePath);
// Releases every text and the list itself, and sets the reference to null.
void freeVersionList(VersionList** list);
// Number of lines of a list (0 for null).
size_t versionLineCount(const VersionList* list);

// One line seen as an item: the name is the first nameLength units of the
// line; value points just after the first "=" inside the line, or is null
// when the line has none.
struct VersionItem {
    size_t nameLength;
    WChar* value;
};
VersionItem splitVersionLine(WChar* line);

// The well-known names that fill a field of their own; everything else is
// only listed.
enum VersionField { kNoVersionField, kFileVersionField, kDescriptionField, kCopyrightField };
// Exact, case-sensitive comparison of the whole name.
VersionField versionFieldOf(const WChar* name, size_t nameLength);
// The name that fills a field: "Version", "Description" or "Copyright".
const char* versionFieldName(VersionField field);
// The fields of the page, in the order they stand on it.
constexpr VersionField kVersionFields[] = {kFileVersionField, kDescriptionField, kCopyrightField};
// Index of the line whose value a field shows: the last line with its name,
// or -1 when no line has it.
int versionFieldLine(const VersionList* list, VersionField field);

// What the page shows: the list's lines, and the three fields' texts where
// they do not come from the list (fields[i] for kVersionFields[i]; all null
// for a version member, whose lines fill the fields).
struct VersionPageContent {
    VersionList* list;
    WChar* fields[3];
    bool derived;  // made of standard metadata: the fields never come from the list
};
// The page of the archive, from one open of the jar and one walk over its
// directory: the version member's lines, and where that gives no line and
// standardMetadata is on, the page made of the jar's manifest, pom and module
// descriptor (values in the locale's translation where the jar has one).
// False when the jar has no page; the list may then be one without lines
// (a member that has none), which the caller keeps so that the member is not
// read again for nothing.
bool readVersionPage(const PathChar* archivePath, const char* localeName, bool standardMetadata,
                     VersionPageContent* out);
void freeVersionPageContent(VersionPageContent* content);
