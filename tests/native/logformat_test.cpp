// The platform-free pieces of a debug-log line.
#include <gtest/gtest.h>

#include "diag/LogFormat.h"

namespace {

TEST(LogFormat, TimeIsTwentyFourCharactersWithZeroPaddedDay) {
    struct Case {
        LogTime t;
        const char* expected;
    } cases[] = {
        {{1, 0, 5, 9, 3, 17, 2004}, "Mon Jan 05 09:03:17 2004"},
        {{6, 11, 31, 23, 59, 59, 1999}, "Sat Dec 31 23:59:59 1999"},
        {{0, 1, 29, 0, 0, 0, 2032}, "Sun Feb 29 00:00:00 2032"},
        // Out-of-range fields still give a 24-character text.
        {{9, -1, 0, 24, 60, 61, 12345}, "Sun Jan 00 24:60:61 2345"},
    };
    for (const Case& c : cases) {
        char out[25];
        formatLogTime(c.t, out);
        EXPECT_STREQ(out, c.expected);
        EXPECT_EQ(strlen(out), 24u);
    }
}

TEST(LogFormat, GuidIsCanonicalUpperCaseWithoutBraces) {
    const uint8_t d4[8] = {0xC0, 0, 0, 0, 0, 0, 0, 0x46};
    char out[37];
    formatGuidText(0x000214EB, 0, 0, d4, out);
    EXPECT_STREQ(out, "000214EB-0000-0000-C000-000000000046");
    const uint8_t d4b[8] = {0x9E, 0x18, 0xB4, 0x0C, 0x6A, 0x2F, 0x7D, 0x95};
    formatGuidText(0x5C2B91E4, 0x7A06, 0x4d3f, d4b, out);
    EXPECT_STREQ(out, "5C2B91E4-7A06-4D3F-9E18-B40C6A2F7D95");
}

TEST(LogFormat, ProgramNameIsTheLastPathComponent) {
    EXPECT_STREQ(programNameFromPath("C:\\Windows\\explorer.exe"), "explorer.exe");
    EXPECT_STREQ(programNameFromPath("explorer.exe"), "explorer.exe") << "no backslash: the whole path";
    EXPECT_STREQ(programNameFromPath("C:\\dir\\"), "");
    EXPECT_STREQ(programNameFromPath("a/b\\c/d.exe"), "c/d.exe") << "only backslashes separate";
}

}  // namespace
