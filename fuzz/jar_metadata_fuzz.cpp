// A jar's standard metadata over arbitrary bytes in memory, for the tooltip
// and for the page, with the shell's members read through the same walk:
// values are UTF-8, present metadata has a name or a version, and the
// tooltip and the page are made from it without fault.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "base/CoreAlloc.h"
#include "metadata/JarMetadata.h"
#include "text/TextConvert.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemorySource source(data, size);
    JarReader reader(source);
    if (!reader.open()) return 0;
    for (int m = 0; m < kShellMemberCount; ++m) {
        MemberBuffer buffer;
        int status = reader.readShellMember(static_cast<ShellMember>(m), &buffer);
        if (status > kMemberRead || (status == kMemberAbsent && buffer.data)) abort();
        freeArchiveMember(&buffer);
    }
    for (JarMetadataUse use : {kMetadataForTooltip, kMetadataForPage}) {
        JarMetadata metadata;
        bool present = reader.readMetadata({"fuzz-1.0.jar", "de_DE", use}, &metadata);
        if (present != metadata.present()) abort();
        for (int f = 0; f < kJarFieldCount; ++f) {
            const char* text = metadata.text(static_cast<JarField>(f));
            if (text && (!*text || !isWellFormedUtf8(text, strlen(text)))) abort();
        }
        WChar* tip = derivedTooltip(metadata);
        if ((tip != nullptr) != (metadata.text(kJarName) != nullptr)) abort();
        coreFree(tip);
        DerivedPage page;
        if (derivedPage(metadata, &page) != present) abort();
        freeDerivedPage(&page);
    }
    return 0;
}
