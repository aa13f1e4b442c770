#include "icon/IconLocation.h"

#include <climits>
#include <cstring>

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

int parseIndex(const char* text) {
    while (isBlank(*text)) ++text;
    bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        if (value <= LLONG_MAX / 10 - 10) value = value * 10 + (*text - '0');
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

}  // namespace

int splitIconLocation(char* location) {
    char* comma = strrchr(location, ',');
    if (!comma) return 0;
    *comma = '\0';
    return parseIndex(comma + 1);
}
