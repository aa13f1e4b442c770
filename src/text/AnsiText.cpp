#include <windows.h>

#include <climits>
#include <cstring>

#include "base/CoreAlloc.h"
#include "base/Holder.h"
#include "text/TextConvert.h"

WChar* ansiToWide(const char* text) {
    if (!text) return nullptr;
    // A character of any ANSI code page takes at least one byte, so the byte
    // count with the terminator is enough units for the whole string.
    size_t length = std::strlen(text);
    if (length >= static_cast<size_t>(INT_MAX)) return nullptr;
    int units = static_cast<int>(length) + 1;
    CorePtr<WChar> wide(coreAllocArray<WChar>(static_cast<size_t>(units)));
    if (!wide) return nullptr;
    // A failed conversion leaves the buffer undefined: hand out nothing then.
    if (MultiByteToWideChar(CP_ACP, 0, text, units, wide.get(), units) == 0) return nullptr;
    return wide.release();
}

bool isAnsiLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

char* wideToAnsi(const WChar* text) {
    if (!text) return nullptr;
    int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return nullptr;
    CorePtr<char> ansi(coreAllocArray<char>(static_cast<size_t>(bytes)));
    if (!ansi) return nullptr;
    // A character the code page lacks would become "?" or a look-alike, and
    // the text would then name something else: no ANSI form at all.
    BOOL lost = FALSE;
    if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, ansi.get(), bytes, nullptr, &lost) != bytes ||
        lost)
        return nullptr;
    return ansi.release();
}
