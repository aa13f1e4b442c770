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

WChar* makeTempFileName(const WChar* prefix) {
    WChar probe[2];
    DWORD length = GetTempPathW(2, probe);
    if (length == 0) return nullptr;
    CorePtr<WChar> directory(coreAllocArray<WChar>(size_t(length) + 1));
    if (!directory) return nullptr;
    DWORD written = GetTempPathW(length + 1, directory.get());
    // A result beyond the buffer means the directory changed in between.
    if (written == 0 || written > length) return nullptr;
    // The name is the directory, three characters, four hex digits and ".tmp".
    CorePtr<WChar> name(coreAllocArray<WChar>(size_t(length) + MAX_PATH + 1));
    if (!name) return nullptr;
    if (GetTempFileNameW(directory.get(), prefix, 0, name.get()) == 0) return nullptr;
    return name.release();
}

WChar* writeNameListFile(const DroppedFiles& drop) {
    WChar* path = makeTempFileName(WIDE_TEXT(NAME_LIST_FILE_PREFIX));
    if (!path) return nullptr;
    if (FILE* out = _wfopen(path, L"wb")) {
        writeDroppedNames(out, drop);
        fclose(out);
    }
    return path;
}

void deleteNameListFile(const WChar* path) {
    if (path) DeleteFileW(path);
}
