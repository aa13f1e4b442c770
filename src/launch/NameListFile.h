#pragma once
// The name list file on Windows: created empty by the platform in the user's
// temporary directory, filled with the dropped names, and deleted again when
// the program that should read it could not be started.
#include "base/Holder.h"
#include "launch/LaunchParameters.h"

// GetTempFileName forms the file name from the first three characters.
#define NAME_LIST_FILE_PREFIX "morvanestart"

// Path of a new, empty, uniquely named file in the temporary directory, or
// null. The directory may be in any script (a user profile's own folder).
WChar* makeTempFileName(const WChar* prefix);
// Creates the name list file and writes the dropped names into it (ANSI names
// are converted from the ANSI code page as one list). Null when no file could
// be created; a file that cannot be written stays and its path is still given.
WChar* writeNameListFile(const DroppedFiles& drop);
// Deletes the file when a path is given; the outcome is not looked at.
void deleteNameListFile(const WChar* path);

// A name list file that is deleted unless ownership passes to the started
// program (release(), then free the path).
struct NameListFileTraits {
    using Type = WChar*;
    static Type invalid() { return nullptr; }
    static void close(Type path) {
        deleteNameListFile(path);
        coreFree(path);
    }
};
using NameListFile = Holder<NameListFileTraits>;
