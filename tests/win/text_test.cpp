// The Windows side of the text code: ANSI paths to UTF-16 through the system
// code page, the thread locale's name, and the strict conversions with the
// platform's wchar_t.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "TestSupport.h"
#include "TextTestSupport.h"
#include "text/LocaleNames.h"
#include "text/TextConvert.h"

namespace {

TEST(AnsiToWide, ConvertsThroughTheSystemCodePage) {
    if (GetACP() != 1252) GTEST_SKIP() << "expects ANSI code page 1252, not " << GetACP();
    struct Case {
        const char* ansi;
        const wchar_t* wide;
    };
    const Case cases[] = {
        {"", L""},
        {"C:\\dir\\a b.jar", L"C:\\dir\\a b.jar"},
        {"caf\xE9 \x80 \xFF", L"caf\u00E9 \u20AC \u00FF"},
    };
    for (const Case& c : cases) EXPECT_EQ(takeWide(ansiToWide(c.ansi)), WString(c.wide)) << c.ansi;
    EXPECT_EQ(ansiToWide(nullptr), nullptr);
}

TEST(AnsiToWide, EveryAllocationFailureGivesNull) {
    long failedAt = 0;
    EXPECT_EQ(sweepExpecting([] { return takeWide(ansiToWide("Z:\\tmp\\x.jar")); }, WString(L"Z:\\tmp\\x.jar"),
                             &failedAt),
              1)
        << failedAt;
}

TEST(StrictConversion, WorksWithWcharUnits) {
    const char emoji[] = "\xF0\x9F\x98\x80";
    EXPECT_EQ(takeWide(utf8ToWide(emoji, 4)), WString(L"\xD83D\xDE00"));
    EXPECT_EQ(takeText(wideToUtf8(L"\xD83D\xDE00\u00E9", 3)), std::string("\xF0\x9F\x98\x80\xC3\xA9"));
    EXPECT_EQ(wideToUtf8(L"a\xD800", 2), nullptr);
    EXPECT_EQ(takeWide(quoteJoinListW(L"a\0b c\0")), WString(L"\"a\" \"b c\" "));
}

// Sets the thread locale for one test and restores it afterwards.
class ThreadLocale {
public:
    ThreadLocale() : saved_(GetThreadLocale()) {}
    ~ThreadLocale() { SetThreadLocale(saved_); }
    // False when the system refuses the identifier (Wine refuses a few).
    bool set(LCID lcid) { return SetThreadLocale(lcid) && LANGIDFROMLCID(GetThreadLocale()) == LANGIDFROMLCID(lcid); }

private:
    LCID saved_;
};

TEST(UserLocaleName, NamesTheThreadLocale) {
    struct Case {
        LCID lcid;
        const char* name;
    };
    const Case cases[] = {
        {0x0409, "en_US"}, {0x0407, "de_DE"}, {0x0807, "de_CH"}, {0x0C07, "de_AT"},   {0x0814, "no_NO_NY"},
        {0x0C09, "en_AU"}, {0x040D, "iw_IL"}, {0x0421, "in_ID"}, {0x0411, "ja_JP"},   {0x0C0A, "es_ES"},
        {0x4409, "en"},    {0x0445, nullptr}, {0x0452, nullptr}, {0x00010407, "de_DE"},
    };
    ThreadLocale locale;
    int checked = 0;
    for (const Case& c : cases) {
        if (!locale.set(c.lcid)) continue;
        ++checked;
        auto name = takeText(userLocaleName());
        if (!c.name)
            EXPECT_FALSE(name.has_value()) << std::hex << c.lcid;
        else
            EXPECT_EQ(name, std::string(c.name)) << std::hex << c.lcid;
    }
    EXPECT_GE(checked, 10);
}

TEST(UserLocaleName, EveryAllocationFailureGivesNull) {
    ThreadLocale locale;
    ASSERT_TRUE(locale.set(0x0807));
    long failedAt = 0;
    EXPECT_EQ(sweepExpecting([] { return takeText(userLocaleName()); }, std::string("de_CH"), &failedAt), 1)
        << failedAt;
}

}  // namespace
