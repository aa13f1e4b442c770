// The archive file as a ByteSource on systems other than Windows (the native
// build of the core: tests, fuzzing, benchmarks). Positioned reads, so the
// reader's few large reads are one system call each.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "archive/ArchiveReader.h"
#include "text/Holder.h"

namespace {

struct FileDescriptorTraits {
    using Type = int;
    static Type invalid() { return -1; }
    static void close(Type fd) { ::close(fd); }
};
using FileDescriptor = Holder<FileDescriptorTraits>;

class FileSource : public ByteSource {
public:
    FileSource(int fd, uint64_t size) : fd_(fd), size_(size) {}
    uint64_t size() const override { return size_; }

    bool readAt(uint64_t offset, void* destination, uint32_t length) override {
        if (length > size_ || offset > size_ - length) return false;
        char* to = static_cast<char*>(destination);
        while (length > 0) {
            ssize_t got = ::pread(fd_, to, length, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR) continue;
            // The file shrank under us, or the medium failed.
            if (got <= 0) return false;
            to += got;
            offset += static_cast<uint64_t>(got);
            length -= static_cast<uint32_t>(got);
        }
        return true;
    }

private:
    int fd_;
    uint64_t size_;
};

}  // namespace

int readArchiveMember(const char* archivePath, const char* memberName, MemberBuffer* out) {
    if (!archivePath || !memberName || !out) {
        if (out) *out = MemberBuffer{0, nullptr};
        return kArchiveUnusable;
    }
    *out = MemberBuffer{0, nullptr};
    FileDescriptor fd(::open(archivePath, O_RDONLY | O_CLOEXEC));
    if (!fd) return kMemberAbsent;
    struct stat info;
    // Only a regular file: a fifo or a device would block or never end.
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return kMemberAbsent;
    FileSource source(fd.get(), static_cast<uint64_t>(info.st_size));
    return readArchiveMemberFrom(source, memberName, out);
}
