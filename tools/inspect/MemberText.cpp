#include "MemberText.h"

#include "base/Holder.h"
#include "base/TextUnits.h"
#include "text/MetadataText.h"
#include "text/TextConvert.h"

std::string utf8Of(const WChar* text, size_t count) {
    if (!text) return "";
    CorePtr<char> utf8(wideToUtf8(text, count));
    return utf8 ? std::string(utf8.get()) : std::string();
}

std::string utf8Of(const WChar* text) { return text ? utf8Of(text, textLength(text)) : std::string(); }

std::string shownBytes(const char* bytes, size_t length) {
    CorePtr<WChar> decoded(utf8ToWide(bytes, length));
    if (decoded) return std::string(bytes, length);
    static const char kHex[] = "0123456789ABCDEF";
    std::string shown;
    for (size_t i = 0; i < length; ++i) {
        unsigned char b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            shown += char(b);
        } else {
            shown += "\\x";
            shown += kHex[b >> 4];
            shown += kHex[b & 15];
        }
    }
    return shown;
}

std::string lowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return text;
}

bool startsWithByteOrderMark(const char* bytes, size_t length) {
    return length >= 3 && static_cast<unsigned char>(bytes[0]) == 0xEF &&
           static_cast<unsigned char>(bytes[1]) == 0xBB && static_cast<unsigned char>(bytes[2]) == 0xBF;
}

std::vector<MemberLine> memberLines(const char* bytes, size_t length) {
    std::vector<MemberLine> lines;
    int number = 1;
    const char* counted = bytes;
    const char* line;
    size_t lineLength;
    for (LineScanner scan(bytes, length); scan.next(&line, &lineLength);) {
        for (; counted < line; ++counted)
            if (*counted == '\n' || (*counted == '\r' && !(counted + 1 < line && counted[1] == '\n'))) ++number;
        lines.push_back({line, lineLength, number});
    }
    return lines;
}

int lineNumberAt(const std::vector<MemberLine>& lines, const char* start) {
    for (const MemberLine& line : lines)
        if (line.start == start) return line.number;
    return 0;
}

std::string lineWhere(const char* member, int number) {
    return std::string(member) + " line " + std::to_string(number);
}
