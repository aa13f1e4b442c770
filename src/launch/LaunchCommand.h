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

// Starts the archive's program for a drop. block is the locked DROPFILES block
// of blockSize bytes; a block whose names cannot be read safely starts nothing.
// The name list file (when the start options ask for one) is left for the
// started program, and deleted when nothing could be started. The program
// gets the archive's path as the shell gave it; a drop of ANSI names passes
// ANSI text throughout and starts nothing when the path (or the list file's)
// has no exact ANSI form.
void launchWithDroppedFiles(const WChar* archivePath, const void* block, size_t blockSize);
