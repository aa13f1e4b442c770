// The archive file as a ByteSource on Windows. The file is opened with full
// sharing, so that the user can rename or delete a jar while the shell shows
// it, and read with ReadFile at explicit offsets; it is never mapped into
// memory, because a mapped file that vanishes (a network share going away)
// would crash the shell at the next page it touched.
#include <windows.h>

#include "archive/ArchiveReader.h"
#include "base/WinHolders.h"

namespace {

class FileSource : public FileByteSource {
public:
    FileSource(HANDLE file, uint64_t size) : FileByteSource(size), file_(file) {}

protected:
    long readSome(uint64_t offset, void* destination, uint32_t length) override {
        // The offset travels in the OVERLAPPED record, so no file pointer is
        // moved between reads.
        OVERLAPPED at;
        ZeroMemory(&at, sizeof at);
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD got = 0;
        if (!ReadFile(file_, destination, length, &got, &at)) return -1;
        return static_cast<long>(got);
    }

private:
    HANDLE file_;
};

}  // namespace

int readArchiveMember(const char* archivePath, const char* memberName, MemberBuffer* out) {
    int status = kMemberAbsent;
    if (!startMemberRead(archivePath, memberName, out, &status)) return status;
    FileHandle file(CreateFileA(archivePath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return kMemberAbsent;
    // Only a disk file: a pipe or a device has no size and may never end.
    LARGE_INTEGER size;
    if (GetFileType(file.get()) != FILE_TYPE_DISK || !GetFileSizeEx(file.get(), &size) || size.QuadPart < 0)
        return kMemberAbsent;
    FileSource source(file.get(), static_cast<uint64_t>(size.QuadPart));
    return readArchiveMemberFrom(source, memberName, out);
}
