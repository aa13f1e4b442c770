#pragma once
// The parameter string of the program started for a drop, and the dropped-files
// block it is made from. Platform-free: the launch runs in ANSI (char) or wide
// (WChar) text, as the drop delivered its names, and both widths share this code.
#include <cstddef>

#include "base/WideChar.h"

// The Java system property that names the name list file.
#define LIST_FILE_PROPERTY "-Dorg.morvane.start.filenames="

// The dropped-files block (DROPFILES) as the drop delivers it:
//   offset  0  u32  pFiles: byte offset of the name list from the block's start; 0: no list
//   offset  4  8 bytes: the drop point (not read)
//   offset 12  u32  fNC (not read)
//   offset 16  u32  fWide: non-zero when the names are UTF-16, else ANSI
// The list is a run of NUL-terminated names ended by an empty name.
constexpr size_t kDropFilesHeaderSize = 20;

struct DroppedFiles {
    bool wide;
    const char* names;    // the ANSI double-NUL list, or null
    const WChar* namesW;  // the wide double-NUL list, or null
};

// Reads the header of a block of size bytes and finds its name list. False when
// the block is shorter than its header, or its list starts outside the block,
// is not ended inside it, or (wide) is not aligned to whole units: such a block
// delivers no names that could be read safely. A list offset of 0 gives true
// and no list.
bool readDroppedFiles(const void* block, size_t size, DroppedFiles* drop);


// " " ["-Dorg.morvane.start.filenames=\"" listFile "\" "] " -jar \"" archive "\" " [quotedNames]
// The quoted names (from quoteJoinList) are used only when there is no
// list file. Null when archivePath is null or memory runs out.
char* buildLaunchParameters(const char* listFilePath, const char* archivePath, const char* quotedNames);
WChar* buildLaunchParameters(const WChar* listFilePath, const WChar* archivePath, const WChar* quotedNames);

// The parameter string a drop gives the started program: with a list file the
// names go there, without one they are quoted and joined (ANSI names walked by
// isLeadByte's characters). names is the drop's double-NUL list (may be null).
// Null when archivePath is null or memory runs out.
char* buildDropParameters(const char* listFilePath, const char* archivePath, const char* names,
                          bool (*isLeadByte)(unsigned char));
WChar* buildDropParameters(const WChar* listFilePath, const WChar* archivePath, const WChar* names);
