#include "archive/ArchiveReader.h"
#include "text/MetadataText.h"

WChar* readDescription(const char* archivePath, const char* localeName, const char* lineBreak) {
    MemberBuffer member = {0, nullptr};
    if (readArchiveMember(archivePath, MEMBER_DESCRIPTION, &member) >= 2) return nullptr;
    WChar* description = nullptr;
    if (member.data && member.length != 0)
        description = describeFromText(member.data, member.length, localeName, lineBreak);
    freeArchiveMember(&member);
    return description;
}
