#include "text/TextConvert.h"

#include <climits>
#include <cstdint>
#include <cstring>

#include "base/ByteCursor.h"
#include "base/CoreAlloc.h"
#include "base/Holder.h"
#include "base/TextUnits.h"

namespace {

// Well-formed UTF-8 by its first byte: how many bytes the sequence takes and
// the range its second byte must lie in (every later byte is 0x80..0xBF).
// The narrow second-byte ranges are what rule out overlong forms (E0, F0),
// encoded surrogates (ED) and values above 0x10FFFF (F4). Lead bytes that no
// row covers (0x80..0xC1, 0xF5..0xFF) start no sequence at all.
struct LeadRule {
    uint8_t firstLead;
    uint8_t lastLead;
    uint8_t total;
    uint8_t secondLow;
    uint8_t secondHigh;
};

const LeadRule kLeadRules[] = {
    {0x00, 0x7F, 1, 0, 0},       {0xC2, 0xDF, 2, 0x80, 0xBF}, {0xE0, 0xE0, 3, 0xA0, 0xBF},
    {0xE1, 0xEC, 3, 0x80, 0xBF}, {0xED, 0xED, 3, 0x80, 0x9F}, {0xEE, 0xEF, 3, 0x80, 0xBF},
    {0xF0, 0xF0, 4, 0x90, 0xBF}, {0xF1, 0xF3, 4, 0x80, 0xBF}, {0xF4, 0xF4, 4, 0x80, 0x8F},
};

// The payload bits of a lead byte, by sequence length.
const uint8_t kLeadMask[5] = {0, 0x7F, 0x1F, 0x0F, 0x07};

const LeadRule* ruleForLead(uint8_t lead) {
    for (const LeadRule& rule : kLeadRules)
        if (lead >= rule.firstLead && lead <= rule.lastLead) return &rule;
    return nullptr;
}

bool isContinuation(uint8_t b) { return b >= 0x80 && b <= 0xBF; }

// Decodes the sequence at the cursor into *value; false when it is ill-formed
// or runs past the end of the input.
bool decodeSequence(ByteCursor& in, uint32_t* value) {
    const uint8_t* lead = in.bytes(1);
    if (!lead) return false;
    const LeadRule* rule = ruleForLead(*lead);
    if (!rule) return false;
    const uint8_t* rest = in.bytes(rule->total - 1u);
    if (!rest) return false;
    uint32_t v = *lead & kLeadMask[rule->total];
    for (unsigned i = 0; i + 1 < rule->total; ++i) {
        bool inRange = i == 0 ? rest[0] >= rule->secondLow && rest[0] <= rule->secondHigh
                              : isContinuation(rest[i]);
        if (!inRange) return false;
        v = (v << 6) | (rest[i] & 0x3Fu);
    }
    *value = v;
    return true;
}

constexpr uint32_t kHighSurrogateFirst = 0xD800;
constexpr uint32_t kLowSurrogateFirst = 0xDC00;
constexpr uint32_t kSurrogateLast = 0xDFFF;
constexpr uint32_t kSupplementaryFirst = 0x10000;

bool isHighSurrogate(uint32_t u) { return u >= kHighSurrogateFirst && u < kLowSurrogateFirst; }
bool isLowSurrogate(uint32_t u) { return u >= kLowSurrogateFirst && u <= kSurrogateLast; }

char* encodeValue(char* out, uint32_t v) {
    if (v < 0x80) {
        *out++ = static_cast<char>(v);
    } else if (v < 0x800) {
        *out++ = static_cast<char>(0xC0 | (v >> 6));
        *out++ = static_cast<char>(0x80 | (v & 0x3F));
    } else if (v < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (v >> 12));
        *out++ = static_cast<char>(0x80 | ((v >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (v & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (v >> 18));
        *out++ = static_cast<char>(0x80 | ((v >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((v >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (v & 0x3F));
    }
    return out;
}

// Backslashes at the end of an item: before the closing quote a program that
// splits its command line the usual Windows way reads such a run as half its
// length and the quote as a literal one, swallowing the items that follow.
size_t trailingBackslashes(const WChar* item, size_t length, LeadByteTest) {
    size_t n = 0;
    while (n < length && item[length - 1 - n] == '\\') ++n;
    return n;
}

// In a double-byte code page the byte of a backslash is also the second byte
// of characters such as 0x95 0x5C in code page 932: only backslashes that are
// whole characters count, so the item is walked from its start, a lead byte
// taking the next byte with it.
size_t trailingBackslashes(const char* item, size_t length, LeadByteTest isLeadByte) {
    size_t n = 0;
    for (size_t i = 0; i < length; ++i) {
        if (isLeadByte && isLeadByte(static_cast<unsigned char>(item[i])) && i + 1 < length) {
            ++i;
            n = 0;
        } else {
            n = item[i] == '\\' ? n + 1 : 0;
        }
    }
    return n;
}

// Every item of a double-NUL list in quotes and followed by a blank. Nothing is
// escaped, except that a trailing backslash run (a drive root such as C:\) is
// written twice, so the program receives exactly the item.
template <typename C>
C* quoteJoin(const C* list, LeadByteTest isLeadByte) {
    if (!list) return nullptr;
    constexpr size_t kPerItem = 3;  // two quotes and the blank
    size_t total = 1;
    for (const C* item = list; *item; item += textLength(item) + 1) {
        size_t n = textLength(item);
        size_t extra = trailingBackslashes(item, n, isLeadByte);
        if (n > SIZE_MAX / 2 - kPerItem - total) return nullptr;
        total += n + extra + kPerItem;
    }
    C* joined = coreAllocArray<C>(total);
    if (!joined) return nullptr;
    const C quote[] = {'"', 0};
    const C quoteBlank[] = {'"', ' ', 0};
    C* end = joined;
    *end = 0;
    for (const C* item = list; *item; item += textLength(item) + 1) {
        size_t n = textLength(item);
        size_t extra = trailingBackslashes(item, n, isLeadByte);
        end = appendText(end, quote);
        end = appendText(end, item);
        std::memcpy(end, item + n - extra, extra * sizeof(C));
        end += extra;
        end = appendText(end, quoteBlank);
    }
    return joined;
}

}  // namespace

WChar* utf8ToWide(const char* bytes, size_t length) {
    if (!bytes && length != 0) return nullptr;
    if (length == SIZE_MAX) return nullptr;
    // Each input byte yields at most one unit (four bytes yield a pair).
    CorePtr<WChar> wide(coreAllocArray<WChar>(length + 1));
    if (!wide) return nullptr;
    WChar* out = wide.get();
    ByteCursor in(bytes, length);
    while (in.remaining() > 0) {
        uint32_t v;
        if (!decodeSequence(in, &v)) return nullptr;
        if (v >= kSupplementaryFirst) {
            v -= kSupplementaryFirst;
            *out++ = static_cast<WChar>(kHighSurrogateFirst + (v >> 10));
            *out++ = static_cast<WChar>(kLowSurrogateFirst + (v & 0x3FF));
        } else {
            *out++ = static_cast<WChar>(v);
        }
    }
    *out = 0;
    return wide.release();
}

bool isWellFormedUtf8(const char* bytes, size_t length) {
    if (!bytes) return length == 0;
    // Most metadata is ASCII: those bytes need no decoding.
    size_t ascii = 0;
    while (ascii < length && static_cast<unsigned char>(bytes[ascii]) < 0x80) ++ascii;
    ByteCursor in(bytes + ascii, length - ascii);
    uint32_t v;
    while (in.remaining() > 0)
        if (!decodeSequence(in, &v)) return false;
    return true;
}

char* wideToUtf8(const WChar* text, size_t count) {
    if (!text && count != 0) return nullptr;
    if (count >= SIZE_MAX / 4) return nullptr;
    CorePtr<char> utf8(coreAllocArray<char>((count + 1) * 4));
    if (!utf8) return nullptr;
    char* out = utf8.get();
    for (size_t i = 0; i < count; ++i) {
        uint32_t u = static_cast<uint16_t>(text[i]);
        if (isHighSurrogate(u)) {
            if (i + 1 >= count) return nullptr;
            uint32_t low = static_cast<uint16_t>(text[i + 1]);
            if (!isLowSurrogate(low)) return nullptr;
            u = kSupplementaryFirst + ((u - kHighSurrogateFirst) << 10) + (low - kLowSurrogateFirst);
            ++i;
        } else if (isLowSurrogate(u)) {
            return nullptr;
        }
        out = encodeValue(out, u);
    }
    *out = 0;
    return utf8.release();
}

char* quoteJoinList(const char* list, LeadByteTest isLeadByte) { return quoteJoin(list, isLeadByte); }
WChar* quoteJoinListW(const WChar* list) { return quoteJoin(list, nullptr); }

char* copyText(const char* text, size_t length) {
    if (!text || length == SIZE_MAX) return nullptr;
    char* copy = coreAllocArray<char>(length + 1);
    if (!copy) return nullptr;
    std::memcpy(copy, text, length);
    copy[length] = 0;
    return copy;
}

long writeStringRecord(FILE* out, const WChar* text, long count) {
    if (!out || !text || count < -1) return -1;
    size_t units = count == -1 ? textLength(text) : static_cast<size_t>(count);
    CorePtr<char> utf8(wideToUtf8(text, units));
    if (!utf8) return -1;
    size_t n = std::strlen(utf8.get());
    // The record's size must be expressible both in its 32-bit length field
    // and in the result.
    if (n > UINT32_MAX || n > static_cast<size_t>(LONG_MAX) - 4) return -1;
    for (int shift = 24; shift >= 0; shift -= 8)
        if (std::fputc(static_cast<int>((n >> shift) & 0xFF), out) == EOF) return -1;
    if (std::fwrite(utf8.get(), 1, n, out) < n) return -1;
    return static_cast<long>(n) + 4;
}

long writeStringRecordList(FILE* out, const WChar* list) {
    if (!list || list[0] == 0) return -1;
    long total = 0;
    for (const WChar* item = list; *item;) {
        size_t units = textLength(item);
        if (units > static_cast<size_t>(LONG_MAX)) return -1;
        long written = writeStringRecord(out, item, static_cast<long>(units));
        if (written < 0 || written > LONG_MAX - total) return -1;
        total += written;
        item += units + 1;
    }
    return total;
}

long writeStringListEnd(FILE* out) {
    if (!out) return -1;
    for (int i = 0; i < 4; ++i)
        if (std::fputc(0, out) == EOF) return -1;
    return 4;
}
