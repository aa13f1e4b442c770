#include "launch/NameListFile.h"

#include <windows.h>

#include <climits>
#include <cstdio>
#include <cstring>

#include "base/CoreAlloc.h"
#include "launch/StartOptions.h"

namespace {

// The whole ANSI double-NUL list through the ANSI code page in one call, so
// that the list keeps its layout in wide text.
WChar* ansiListToWide(const char* names) {
    size_t bytes = 0;
    while (names[bytes] != '\0') bytes += std::strlen(names + bytes) + 1;
    ++bytes;  // the empty name that ends the list
    if (bytes > static_cast<size_t>(INT_MAX)) return nullptr;
    int units = static_cast<int>(bytes);
    CorePtr<WChar> wide(coreAllocArray<WChar>(bytes));
    if (!wide) return nullptr;
    if (MultiByteToWideChar(CP_ACP, 0, names, units, wide.get(), units) == 0) return nullptr;
    return wide.release();
}

void writeDroppedNames(FILE* out, const DroppedFiles& drop) {
    if (drop.wide) {
        writeNameList(out, drop.namesW);
    } else if (drop.names) {
        CorePtr<WChar> wide(ansiListToWide(drop.names));
        writeNameList(out, wide.get());
    }
}

}  // namespace

char* makeTempFileName(const char* prefix) {
    char probe[2];
    DWORD length = GetTempPathA(sizeof(probe), probe);
    if (length == 0) return nullptr;
    CorePtr<char> directory(coreAllocArray<char>(size_t(length) + 1));
    if (!directory) return nullptr;
    DWORD written = GetTempPathA(length + 1, directory.get());
    // A result beyond the buffer means the directory changed in between.
    if (written == 0 || written > length) return nullptr;
    CorePtr<char> name(coreAllocArray<char>(MAX_PATH + 1));
    if (!name) return nullptr;
    if (GetTempFileNameA(directory.get(), prefix, 0, name.get()) == 0) return nullptr;
    return name.release();
}

char* writeNameListFile(const DroppedFiles& drop) {
    char* path = makeTempFileName(NAME_LIST_FILE_PREFIX);
    if (!path) return nullptr;
    if (FILE* out = fopen(path, "wb")) {
        writeDroppedNames(out, drop);
        fclose(out);
    }
    return path;
}

void deleteNameListFile(const char* path) {
    if (path) DeleteFileA(path);
}
