// The zip reader over arbitrary bytes in memory, asked for the shell's four
// members and two other names. Any result must keep the contract: status 0 or
// 1 (never 2+: the reader can always be set up here), nothing handed out with
// status 0, and with status 1 at most kMaxMemberSize bytes followed by a NUL.
#include <cstdint>
#include <cstdlib>

#include "archive/ArchiveReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const kNames[] = {MEMBER_ICON, MEMBER_DESCRIPTION, MEMBER_VERSION, MEMBER_STARTOPTIONS,
                                         "META-INF/MANIFEST.MF", ""};
    MemorySource source(data, size);
    for (const char* name : kNames) {
        MemberBuffer buffer;
        int status = readArchiveMemberFrom(source, name, &buffer);
        if (status == 1) {
            if (!buffer.data || buffer.length > kMaxMemberSize || buffer.data[buffer.length] != '\0') std::abort();
        } else if (status != 0 || buffer.data || buffer.length != 0) {
            std::abort();
        }
        freeArchiveMember(&buffer);
        if (buffer.data || buffer.length != 0) std::abort();
    }
    return 0;
}
