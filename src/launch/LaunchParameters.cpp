#include "launch/LaunchParameters.h"

#include <cstdint>
#include <cstring>

#include "base/ByteCursor.h"
#include "base/CoreAlloc.h"
#include "base/Holder.h"
#include "base/TextUnits.h"
#include "text/TextConvert.h"

namespace {

constexpr uint64_t kListOffsetField = 0;
constexpr uint64_t kWideField = 16;

// True when a double-NUL list of units C fills no more than bytes bytes.
template <typename C>
bool listEndsWithin(const uint8_t* start, size_t bytes) {
    const C* units = reinterpret_cast<const C*>(start);
    size_t count = bytes / sizeof(C);
    bool atItemStart = true;
    for (size_t i = 0; i < count; ++i) {
        if (units[i] == 0) {
            if (atItemStart) return true;
            atItemStart = true;
        } else {
            atItemStart = false;
        }
    }
    return false;
}

// The fixed pieces of the parameter string are ASCII, widened unit by unit.
template <typename C>
C* appendAscii(C* end, const char* ascii) {
    while (*ascii) *end++ = static_cast<C>(*ascii++);
    *end = 0;
    return end;
}

constexpr char kLead[] = " ";
constexpr char kOpenQuote[] = "\"";
constexpr char kCloseQuote[] = "\" ";
constexpr char kJarOption[] = " -jar \"";

template <typename C>
C* buildParameters(const C* listFile, const C* archive, const C* names) {
    if (!archive) return nullptr;
    if (listFile) names = nullptr;
    size_t total = 1;
    bool fits = addSize(&total, std::strlen(kLead)) && addSize(&total, std::strlen(kJarOption)) &&
                addSize(&total, textLength(archive)) && addSize(&total, std::strlen(kCloseQuote));
    if (listFile)
        fits = fits && addSize(&total, std::strlen(LIST_FILE_PROPERTY)) && addSize(&total, std::strlen(kOpenQuote)) &&
               addSize(&total, textLength(listFile)) && addSize(&total, std::strlen(kCloseQuote));
    if (names) fits = fits && addSize(&total, textLength(names));
    if (!fits) return nullptr;
    C* parameters = coreAllocArray<C>(total);
    if (!parameters) return nullptr;
    C* end = appendAscii(parameters, kLead);
    if (listFile) {
        end = appendAscii(end, LIST_FILE_PROPERTY);
        end = appendAscii(end, kOpenQuote);
        end = appendUnits(end, listFile, textLength(listFile));
        end = appendAscii(end, kCloseQuote);
    }
    end = appendAscii(end, kJarOption);
    end = appendUnits(end, archive, textLength(archive));
    end = appendAscii(end, kCloseQuote);
    if (names) appendUnits(end, names, textLength(names));
    return parameters;
}

}  // namespace

bool readDroppedFiles(const void* block, size_t size, DroppedFiles* drop) {
    ByteCursor header(block, size);
    header.seek(kListOffsetField);
    uint32_t listOffset = header.u32le();
    header.seek(kWideField);
    uint32_t wide = header.u32le();
    if (!header.ok()) return false;
    *drop = {wide != 0, nullptr, nullptr};
    if (listOffset == 0) return true;
    if (!rangeInside(listOffset, 0, size) || listOffset < kDropFilesHeaderSize) return false;
    const uint8_t* list = static_cast<const uint8_t*>(block) + listOffset;
    size_t listBytes = size - listOffset;
    if (drop->wide) {
        if (listOffset % sizeof(WChar) != 0 || !listEndsWithin<WChar>(list, listBytes)) return false;
        drop->namesW = reinterpret_cast<const WChar*>(list);
    } else {
        if (!listEndsWithin<char>(list, listBytes)) return false;
        drop->names = reinterpret_cast<const char*>(list);
    }
    return true;
}


char* buildLaunchParameters(const char* listFilePath, const char* archivePath, const char* quotedNames) {
    return buildParameters(listFilePath, archivePath, quotedNames);
}

WChar* buildLaunchParameters(const WChar* listFilePath, const WChar* archivePath, const WChar* quotedNames) {
    return buildParameters(listFilePath, archivePath, quotedNames);
}

char* buildDropParameters(const char* listFilePath, const char* archivePath, const char* names,
                          bool (*isLeadByte)(unsigned char)) {
    // Without memory for the quoted names the program still starts, without them.
    CorePtr<char> quoted(listFilePath || !names ? nullptr : quoteJoinList(names, isLeadByte));
    return buildLaunchParameters(listFilePath, archivePath, quoted.get());
}

WChar* buildDropParameters(const WChar* listFilePath, const WChar* archivePath, const WChar* names) {
    CorePtr<WChar> quoted(listFilePath || !names ? nullptr : quoteJoinListW(names));
    return buildLaunchParameters(listFilePath, archivePath, quoted.get());
}
