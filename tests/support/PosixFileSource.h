#pragma once
// A file on disk as a ByteSource for the native tests and benchmarks: opened
// as the shell extension opens a jar, read with pread, its reads counted.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "archive/ArchiveReader.h"

class PosixFileSource : public FileByteSource {
public:
    // size() is 0 and every read fails when the file cannot be opened.
    explicit PosixFileSource(const char* path) : PosixFileSource(::open(path, O_RDONLY | O_CLOEXEC)) {}
    ~PosixFileSource() override {
        if (fd_ >= 0) ::close(fd_);
    }
    long reads = 0;

protected:
    long readSome(uint64_t offset, void* destination, uint32_t length) override {
        ++reads;
        return static_cast<long>(::pread(fd_, destination, length, static_cast<off_t>(offset)));
    }

private:
    explicit PosixFileSource(int fd) : FileByteSource(sizeOf(fd)), fd_(fd) {}
    static uint64_t sizeOf(int fd) {
        struct stat info;
        return fd >= 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) ? static_cast<uint64_t>(info.st_size) : 0;
    }
    int fd_;
};
