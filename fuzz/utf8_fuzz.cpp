// utf8ToWide against a strict validator written here from the definition of
// well-formed UTF-8 (decode greedily, then reject overlong forms, surrogates
// and values above 0x10FFFF): both must accept exactly the same inputs, and
// what is accepted must encode back to the same bytes up to the first NUL.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/CoreAlloc.h"
#include "base/TextUnits.h"
#include "text/TextConvert.h"

namespace {

// Number of code points on success, -1 for ill-formed input.
long validate(const uint8_t* s, size_t n) {
    long points = 0;
    size_t i = 0;
    while (i < n) {
        uint8_t b = s[i];
        int extra;
        uint32_t v;
        if (b < 0x80) {
            extra = 0;
            v = b;
        } else if ((b & 0xE0) == 0xC0) {
            extra = 1;
            v = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            extra = 2;
            v = b & 0x0F;
        } else if ((b & 0xF8) == 0xF0) {
            extra = 3;
            v = b & 0x07;
        } else {
            return -1;
        }
        if (n - i - 1 < static_cast<size_t>(extra)) return -1;
        for (int k = 1; k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) return -1;
            v = (v << 6) | (s[i + k] & 0x3F);
        }
        static const uint32_t smallest[] = {0, 0x80, 0x800, 0x10000};
        if (v < smallest[extra] || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return -1;
        i += 1 + extra;
        ++points;
    }
    return points;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    long points = validate(data, size);
    WChar* wide = utf8ToWide(reinterpret_cast<const char*>(data), size);
    if ((points >= 0) != (wide != nullptr)) abort();
    if (!wide) return 0;

    size_t units = textLength(wide);
    char* back = wideToUtf8(wide, units);
    if (!back) abort();
    const void* nul = memchr(data, 0, size);
    size_t prefix = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - data) : size;
    if (strlen(back) != prefix || memcmp(back, data, prefix) != 0) abort();
    coreFree(back);
    coreFree(wide);
    return 0;
}
