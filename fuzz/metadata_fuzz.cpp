// The key=value reader over arbitrary member bytes: splitting into lines, the
// key scan and unescaping must stay inside the bytes they are given, free
// everything, and agree with each other about which lines exist.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/CoreAlloc.h"
#include "infotip/Description.h"
#include "text/MetadataText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte chooses the line-break text; the rest is the member.
    static const char* const lineBreaks[] = {"\r\n", " ", "", "<br>\r\n"};
    if (size == 0) return 0;
    const char* lineBreak = lineBreaks[data[0] % 4];
    // A copy of exactly the member's bytes, so reading past them is caught.
    size_t length = size - 1;
    char* text = static_cast<char*>(malloc(length ? length : 1));
    if (!text) return 0;
    memcpy(text, data + 1, length);

    char** lines = splitMetadataLines(text, length, lineBreak);
    if (!lines) abort();
    char* line = findKeyLine(text, length, "en_US=", "en=", "default=");
    char* anyKey = findKeyLine(text, length, nullptr, nullptr, "");
    // The scan sees a line exactly when the splitter found one.
    if ((anyKey != nullptr) != (lines[0] != nullptr)) abort();
    if (line) {
        const char* equals = strchr(line, '=');
        if (!equals) abort();
        char* value = unescapeValue(equals + 1, strlen(equals + 1), lineBreak);
        if (!value) abort();
        coreFree(value);
        WChar* description = describeFromText(text, length, "en_US", lineBreak);
        coreFree(description);
    }
    (void)findLineIndexByPrefix(lines, "org.morvane.start.filenames=");
    coreFree(anyKey);
    coreFree(line);
    freeLines(lines);
    free(text);
    return 0;
}
