#include "diag/LogFormat.h"

#include <cstdio>

namespace {
const char kWeekdays[7][4] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char kMonths[12][4] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

int clampIndex(int v, int count) { return (v >= 0 && v < count) ? v : 0; }
}  // namespace

void formatLogTime(const LogTime& t, char out[25]) {
    // Fields are clamped to their ranges so the text is always 24 characters.
    auto two = [](int v) { return v < 0 ? 0 : v % 100; };
    int year = t.year < 0 ? 0 : t.year % 10000;
    snprintf(out, 25, "%.3s %.3s %02d %02d:%02d:%02d %04d", kWeekdays[clampIndex(t.weekday, 7)],
             kMonths[clampIndex(t.month, 12)], two(t.day), two(t.hour), two(t.minute), two(t.second), year);
}

void formatGuidText(uint32_t data1, uint16_t data2, uint16_t data3, const uint8_t d[8], char out[37]) {
    snprintf(out, 37, "%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", static_cast<unsigned long>(data1),
             unsigned(data2), unsigned(data3), unsigned(d[0]), unsigned(d[1]), unsigned(d[2]), unsigned(d[3]),
             unsigned(d[4]), unsigned(d[5]), unsigned(d[6]), unsigned(d[7]));
}

const char* programNameFromPath(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\') name = p + 1;
    return name;
}
