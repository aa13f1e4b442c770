// Appending texts at a running end, for both unit widths.
#include <gtest/gtest.h>

#include "TextTestSupport.h"
#include "base/TextUnits.h"

namespace {

TEST(AppendText, ReturnsTheNewTerminator) {
    char buffer[16];
    buffer[0] = 0;
    char* end = appendText(buffer, "ab");
    end = appendText(end, "");
    end = appendText(end, "cde");
    EXPECT_EQ(end, buffer + 5);
    EXPECT_STREQ(buffer, "abcde");

    WChar wide[8];
    WChar* wideEnd = appendText(appendText(wide, u"x"), u"\xD83D\xDE00");
    EXPECT_EQ(wideEnd, wide + 3);
    EXPECT_EQ(WString(wide), WString(u"x\xD83D\xDE00"));
}

}  // namespace
