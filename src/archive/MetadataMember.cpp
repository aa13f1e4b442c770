#include "archive/ArchiveReader.h"

MetadataMember::MetadataMember(const PathChar* archivePath, const char* memberName) {
    owned_ = readArchiveMember(archivePath, memberName, &buffer_) < kArchiveUnusable;
}

MetadataMember::~MetadataMember() {
    if (owned_) freeArchiveMember(&buffer_);
}
