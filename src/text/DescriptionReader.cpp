#include "archive/ArchiveReader.h"
#include "text/MetadataText.h"

WChar* readDescription(const char* archivePath, const char* localeName, const char* lineBreak) {
    MemberBuffer member = {0, nullptr};
    if (readArchiveMember(archivePath, MEMBER_DESCRIPTION, &member) >= kArchiveUnusable) return nullptr;
    MemberHolder release(&member);
    // A missing member and an empty one both mean there is no description.
    if (!member.data || member.length == 0) return nullptr;
    return describeFromText(member.data, member.length, localeName, lineBreak);
}
