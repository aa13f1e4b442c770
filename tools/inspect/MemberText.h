#pragma once
// Turning what the core reads and gives into the report's UTF-8 text.
#include <cstddef>
#include <string>
#include <vector>

#include "base/WideChar.h"

// A wide text of the core as UTF-8; "" for null or text that has no UTF-8 form.
std::string utf8Of(const WChar* text, size_t count);
std::string utf8Of(const WChar* text);
// Bytes of a member as readable text: as they are when they are UTF-8, else
// with every byte above 0x7F written as \xNN.
std::string shownBytes(const char* bytes, size_t length);
std::string lowerAscii(std::string text);
bool startsWithByteOrderMark(const char* bytes, size_t length);

// A non-empty line of a member (the lines the core reads) and its number in
// the file as an editor counts it: CR LF, a lone CR and a lone LF each end one.
struct MemberLine {
    const char* start;
    size_t length;
    int number;
};
std::vector<MemberLine> memberLines(const char* bytes, size_t length);
// The number of the line that starts at start; 0 when none does.
int lineNumberAt(const std::vector<MemberLine>& lines, const char* start);
// "shell-meta-inf/description line 3"
std::string lineWhere(const char* member, int number);
