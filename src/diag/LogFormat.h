#pragma once
// Platform-free pieces of a debug-log line.
#include <cstddef>
#include <cstdint>

struct LogTime {
    int weekday;  // 0 = Sunday
    int month;    // 0 = January
    int day;      // 1..31
    int hour, minute, second;
    int year;     // e.g. 2004
};

// "Mon Jan 05 09:03:17 2004": 24 characters plus NUL into out[25], English names
// whatever the user's locale, the day zero-padded.
void formatLogTime(const LogTime& t, char out[25]);

// Canonical form without braces, upper-case: 8-4-4-4-12 digits, into out[37].
void formatGuidText(uint32_t data1, uint16_t data2, uint16_t data3, const uint8_t data4[8], char out[37]);

// The text after the last backslash, or the whole path if it has none.
const char* programNameFromPath(const char* path);
