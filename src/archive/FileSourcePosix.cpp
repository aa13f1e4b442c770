// The archive file as a ByteSource on systems other than Windows (the native
// build of the core: tests, fuzzing, benchmarks). Positioned reads, so the
// reader's few large reads are one system call each.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "archive/ArchiveReader.h"
#include "base/Holder.h"

namespace {

struct FileDescriptorTraits {
    using Type = int;
    static Type invalid() { return -1; }
    static void close(Type fd) { ::close(fd); }
};
using FileDescriptor = Holder<FileDescriptorTraits>;

class FileSource : public FileByteSource {
public:
    FileSource(int fd, uint64_t size) : FileByteSource(size), fd_(fd) {}

protected:
    long readSome(uint64_t offset, void* destination, uint32_t length) override {
        for (;;) {
            ssize_t got = ::pread(fd_, destination, length, static_cast<off_t>(offset));
            if (got >= 0 || errno != EINTR) return static_cast<long>(got);
        }
    }

private:
    int fd_;
};

}  // namespace

int readArchiveMember(const char* archivePath, const char* memberName, MemberBuffer* out) {
    int status = kMemberAbsent;
    if (!startMemberRead(archivePath, memberName, out, &status)) return status;
    // Opening a fifo without a writer, or some devices, blocks until another
    // process comes along; not waiting makes the check below reachable.
    FileDescriptor fd(::open(archivePath, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd) return kMemberAbsent;
    struct stat info;
    // Only a regular file: a fifo or a device would block or never end.
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return kMemberAbsent;
    FileSource source(fd.get(), static_cast<uint64_t>(info.st_size));
    return readArchiveMemberFrom(source, memberName, out);
}
