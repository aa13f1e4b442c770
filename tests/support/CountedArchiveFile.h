#pragma once
// A jar on disk opened as the shell extension opens it (ArchiveFile), with
// its reads counted, for the native tests and benchmarks.
#include "archive/ArchiveReader.h"

class CountedArchiveFile : public ArchiveFile {
public:
    explicit CountedArchiveFile(const char* path) : ArchiveFile(path) {}
    long reads = 0;

protected:
    long readSome(uint64_t offset, void* destination, uint32_t length) override {
        ++reads;
        return ArchiveFile::readSome(offset, destination, length);
    }
};
