// The archive file as a ByteSource on systems other than Windows (the native
// build of the core: tests, fuzzing, benchmarks, morvane-inspect). Positioned
// reads, so the reader's few large reads are one system call each.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "archive/ArchiveReader.h"

ArchiveFile::ArchiveFile(const PathChar* path) : FileByteSource(0) {
    if (!path) return;
    // Opening a fifo without a writer, or some devices, blocks until another
    // process comes along; not waiting makes the check below reachable.
    int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return;
    struct stat info;
    // Only a regular file: a fifo or a device would block or never end.
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return;
    }
    setSize(static_cast<uint64_t>(info.st_size));
    handle_ = fd;
}

ArchiveFile::~ArchiveFile() {
    if (isOpen()) ::close(static_cast<int>(handle_));
}

long ArchiveFile::readSome(uint64_t offset, void* destination, uint32_t length) {
    for (;;) {
        ssize_t got = ::pread(static_cast<int>(handle_), destination, length, static_cast<off_t>(offset));
        if (got >= 0 || errno != EINTR) return static_cast<long>(got);
    }
}
