#pragma once
// The start options of an archive ("shell-meta-inf/startoptions") and the name
// list file that hands the dropped names to the Java program when they ask for
// it: one string record (big-endian UTF-8 byte count, then the UTF-8 bytes) per
// name in drop order, then a record of length 0.
#include <cstddef>
#include <cstdio>

#include "base/WideChar.h"

// A line that begins with this asks for the list file; its value is not read.
#define START_OPTION_NAMES_IN_LIST_FILE "org.morvane.start.filenames="
// An escaped \n inside a start options line stands for one blank.
#define START_OPTIONS_LINE_BREAK " "

struct StartOptions {
    bool namesInListFile;
    // The first non-empty line that asked for it (counted from 0), or -1.
    int listFileLine;
};

// Options from the member's text. False (no options) for an empty text; all
// options off when the text has no lines or memory runs out.
bool parseStartOptions(const char* bytes, size_t length, StartOptions* options);
// Options of the archive; false when the member cannot be read, is absent or
// is empty.
bool readStartOptions(const PathChar* archivePath, StartOptions* options);

// Writes one record per name of a wide double-NUL list and then, only when
// every record was written, the end record. A null or empty list writes no
// end record. True when the end record was written.
bool writeNameList(FILE* out, const WChar* names);
