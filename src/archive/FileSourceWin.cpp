// The archive file as a ByteSource on Windows. The file is opened by its UTF-16
// path with full sharing, so that the user can rename or delete a jar while the
// shell shows it, and read with ReadFile at explicit offsets; it is never mapped
// into memory, because a mapped file that vanishes (a network share going away)
// would crash the shell at the next page it touched.
#include <windows.h>

#include "archive/ArchiveReader.h"
#include "archive/LongPath.h"
#include "base/CoreAlloc.h"

ArchiveFile::ArchiveFile(const PathChar* path) : FileByteSource(0) {
    if (!path) return;
    WChar* longForm = longPathForm(path);
    HANDLE file = CreateFileW(longForm ? longForm : path, GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    coreFree(longForm);
    if (file == INVALID_HANDLE_VALUE) return;
    // Only a disk file: a pipe or a device has no size and may never end.
    LARGE_INTEGER size;
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size) || size.QuadPart < 0) {
        CloseHandle(file);
        return;
    }
    setSize(static_cast<uint64_t>(size.QuadPart));
    handle_ = reinterpret_cast<intptr_t>(file);
}

ArchiveFile::~ArchiveFile() {
    if (isOpen()) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

long ArchiveFile::readSome(uint64_t offset, void* destination, uint32_t length) {
    // The offset travels in the OVERLAPPED record, so no file pointer is moved
    // between reads.
    OVERLAPPED at;
    ZeroMemory(&at, sizeof at);
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(handle_), destination, length, &got, &at)) return -1;
    return static_cast<long>(got);
}

WChar* longPathForm(const WChar* path) {
    // Paths that the plain form reaches stay as they are.
    size_t length = 0;
    while (path[length]) ++length;
    if (length < MAX_PATH) return nullptr;
    if (path[0] == L'\\' && path[1] == L'\\' && (path[2] == L'?' || path[2] == L'.') && path[3] == L'\\')
        return nullptr;  // already a device or long path
    // The \\?\ form is taken literally: no "..", no "/" and no relative parts
    // are resolved in it, so the full path is made first.
    DWORD full = GetFullPathNameW(path, 0, nullptr, nullptr);
    if (full == 0 || full > 32767) return nullptr;
    // "\\?\UNC\" replaces the leading "\\" of a share path: 6 more units.
    WChar* out = coreAllocArray<WChar>(full + 8);
    if (!out) return nullptr;
    WChar* fullPath = out + 8;  // the prefix is put in front afterwards
    DWORD got = GetFullPathNameW(path, full, fullPath, nullptr);
    if (got == 0 || got >= full) {
        coreFree(out);
        return nullptr;
    }
    const WChar* tail;
    const WChar* prefix;
    if (fullPath[0] == L'\\' && fullPath[1] == L'\\') {
        prefix = L"\\\\?\\UNC\\";
        tail = fullPath + 2;
    } else {
        prefix = L"\\\\?\\";
        tail = fullPath;
    }
    size_t prefixLength = 0;
    while (prefix[prefixLength]) ++prefixLength;
    // Moves the path to just behind the prefix (the ranges may overlap).
    size_t tailLength = got - static_cast<size_t>(tail - fullPath);
    memmove(out + prefixLength, tail, (tailLength + 1) * sizeof(WChar));
    memcpy(out, prefix, prefixLength * sizeof(WChar));
    return out;
}
