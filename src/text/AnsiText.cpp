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
