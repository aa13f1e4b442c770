#pragma once
// Starting the program registered for a jar with the dropped names: in ANSI or
// in wide text throughout, as the drop delivered its names.
#include <cstddef>

#include "base/WideChar.h"

// Text of the debug box that "DropTarget_Debug_ShowInfo" switches on: the
// label, the parameter string's length (bytes or UTF-16 units), the program
// found for the archive and the parameter string.
#define LAUNCH_INFO_FORMAT "%s%i\n%s\n%s"
#define LAUNCH_INFO_LABEL "Parameter length (w/o ...java.exe):"

// The wide parameter string; the list file path (ANSI) is converted through the
// ANSI code page. Null when a conversion or the allocation fails.
WChar* buildLaunchParametersW(const char* listFilePath, const WChar* archivePath, const WChar* quotedNames);

// Starts the archive's program for a drop. block is the locked DROPFILES block
// of blockSize bytes; a block whose names cannot be read safely starts nothing.
// The name list file (when the start options ask for one) is left for the
// started program, and deleted when nothing could be started.
void launchWithDroppedFiles(const char* archivePath, const void* block, size_t blockSize);
