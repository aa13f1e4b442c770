// The key=value text of the shell-meta-inf members: cutting into lines,
// escapes, key lookup and the description's locale fallback.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <vector>

#include "TestSupport.h"
#include "TextTestSupport.h"
#include "text/MetadataText.h"
#include "text/TextConvert.h"

namespace {

using Lines = std::vector<std::string>;

std::optional<Lines> takeLines(char** lines) {
    if (!lines) return std::nullopt;
    Lines result;
    for (char** p = lines; *p; ++p) result.emplace_back(*p);
    freeLines(lines);
    return result;
}

std::optional<Lines> split(const std::string& text, const char* lineBreak) {
    return takeLines(splitMetadataLines(text.data(), text.size(), lineBreak));
}

std::optional<WString> describe(const std::string& text, const char* locale) {
    return takeWide(describeFromText(text.data(), text.size(), locale, "\r\n"));
}

// Joins entries with a separator: the same member written with different
// line ends.
std::string member(const Lines& entries, const std::string& separator) {
    std::string text;
    for (const std::string& e : entries) text += (text.empty() ? "" : separator) + e;
    return text;
}

struct DescriptionCase {
    const char* name;
    std::string text;
    const char* locale;
    std::optional<std::u16string> description;
};

void PrintTo(const DescriptionCase& c, std::ostream* os) { *os << c.name; }

const DescriptionCase kDescriptionCases[] = {
    {"NoLineEndAtAll", "default=Hello", "en_US", u"Hello"},
    {"BlankBeforeKey", " default=Hello", "en_US", std::nullopt},
    {"KeysAreCaseSensitive", "Default=Hello", "en_US", std::nullopt},
    {"BlankBeforeEquals", "default = Hello", "en_US", std::nullopt},
    {"ValueIsNotTrimmed", "default= Hello", "en_US", u" Hello"},
    {"ValueRunsFromFirstEquals", "default=a=b", "en_US", u"a=b"},
    {"FullLocaleWinsWhereverItStands", "en=Color\nen_US=Colour", "en_US", u"Colour"},
    {"LanguageWhenFullLocaleMissing", "en=Color\nen_US=Colour", "en_GB", u"Color"},
    {"LineShorterThanKeyNeverMatches", "default=Hello\nen_U", "en_US", u"Hello"},
    {"EscapedBackslash", "default=C:\\\\tmp", "en_US", u"C:\\tmp"},
    {"UnknownEscapeStays", "default=a\\qb", "en_US", u"a\\qb"},
    {"TrailingBackslashDropped", "default=x\\", "en_US", u"x"},
    {"NulByteEndsText", std::string("default=Hello\0\nde=Hallo", 23), "de_DE", u"Hello"},
    {"OnlyChosenLineIsDecoded", "default=\xC3\x28\nfr=Bonjour", "de_DE", std::nullopt},
    {"BadLineNotChosenIsHarmless", "default=\xC3\x28\nfr=Bonjour", "fr_FR", u"Bonjour"},
    {"EmptyValueIsEmptyNotNull", "default=", "en_US", u""},
    {"EscapedNewlineIsCallersLineBreak", "default=One\\nTwo", "en_US", u"One\r\nTwo"},
    {"EscapedTab", "default=a\\tb", "en_US", u"a\tb"},
    {"ValueDecodedFromUtf8", "default=Gr\xC3\xBC\xC3\x9F \xF0\x9F\x98\x80", "en_US", u"Gr\u00FC\u00DF \U0001F600"},
    {"FirstOfDuplicateKeysWins", "default=A\ndefault=B\nde=1\nde=2", "de_CH", u"1"},
    {"LanguageBeatsDefaultInAnyOrder", "default=Y\nde=X", "de_CH", u"X"},
    {"NoMatchingKeyAndNoDefault", "de=Hallo\nfr=Bonjour", "en_US", std::nullopt},
    {"EmptyText", "", "en_US", std::nullopt},
    {"ByteOrderMarkSpoilsFirstLine", "\xEF\xBB\xBF" "default=Hello", "en_US", std::nullopt},
    {"ByteOrderMarkLeavesLaterLines", "\xEF\xBB\xBF" "x=1\ndefault=Hello", "en_US", u"Hello"},
    {"TabBeforeKey", "\tdefault=x", "en_US", std::nullopt},
    {"EscapeNeverJoinsLines", "default=a\\\nb=c", "en_US", u"a"},
    {"LongNameUsesFirstFiveCharacters", "no=a\nno_NO=b", "no_NO_NY", u"b"},
    {"ShortNameFormsKeyFromWholeName", "english=a\nen=b", "en", u"b"},
    {"ShortNameDoesNotMatchLongerKey", "english=a\ndefault=c", "en", u"c"},
    {"EmptyNameFallsBackToDefault", "=a\ndefault=c", "", u"c"},
    {"OneLetterName", "e=a\ndefault=c", "e", u"a"},
    {"ControlBytesInValueKept", "default=a\x01\x7F" "b", "en_US", u"a\x01\x7F" u"b"},
};

class DescriptionTable : public testing::TestWithParam<DescriptionCase> {};

TEST_P(DescriptionTable, PicksTheValue) {
    const DescriptionCase& c = GetParam();
    auto got = describe(c.text, c.locale);
    ASSERT_EQ(got.has_value(), c.description.has_value());
    if (got) EXPECT_EQ(*got, WString(c.description->begin(), c.description->end()));
}

INSTANTIATE_TEST_SUITE_P(DescribeFromText, DescriptionTable, testing::ValuesIn(kDescriptionCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DescribeFromText, SameResultWithEveryLineEnd) {
    const Lines entries = {"default=Tool", "de=Werkzeug", "de_AT=Werkzeug (AT)"};
    const std::string separators[] = {"\r\n", "\r", "\n", "\r\n\r\n", "\n\n\n", "\r\r", "\n\r\n \r"};
    const struct {
        const char* locale;
        const char16_t* description;
    } expected[] = {{"de_AT", u"Werkzeug (AT)"}, {"de_DE", u"Werkzeug"}, {"fr_FR", u"Tool"}};
    for (const std::string& separator : separators)
        for (const std::string& ending : {std::string(), separator}) {
            std::string text = separator + member(entries, separator) + ending;
            for (const auto& e : expected)
                EXPECT_EQ(describe(text, e.locale), WString(e.description))
                    << hexBytes(separator) << " " << e.locale;
        }
}

TEST(DescribeFromText, ReadsNoFurtherThanLength) {
    const std::string text = "default=Hello\nde=Hallo";
    EXPECT_EQ(takeWide(describeFromText(text.data(), 10, "de_DE", "\r\n")), WString(u"He"));
    EXPECT_EQ(describeFromText(nullptr, 0, "de_DE", "\r\n"), nullptr);
    EXPECT_EQ(describeFromText(text.data(), text.size(), nullptr, "\r\n"), nullptr);
}

TEST(FindKeyLine, ReturnsTheWholeLineWithoutItsEnd) {
    struct Case {
        std::string text;
        const char* keys[3];
        std::optional<std::string> line;
    };
    const Case cases[] = {
        {"a=1\r\nb=2\r\n", {"b=", nullptr, nullptr}, "b=2"},
        {"b=2\nb=3", {nullptr, "b=", nullptr}, "b=2"},
        {"c=1\nb=2", {"a=", "b=", "c="}, "b=2"},
        {"c=1\nb=2\na=3", {"a=", "b=", "c="}, "a=3"},
        {"c=1", {"a=", "b=", "c="}, "c=1"},
        {"b", {"b=", nullptr, nullptr}, std::nullopt},
        {"b=", {"b=", nullptr, nullptr}, "b="},
        {std::string("x\0b=1", 5), {"b=", nullptr, nullptr}, std::nullopt},
        {"b=1", {nullptr, nullptr, nullptr}, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(takeText(findKeyLine(c.text.data(), c.text.size(), c.keys[0], c.keys[1], c.keys[2])), c.line)
            << hexBytes(c.text);
}

struct SplitCase {
    const char* name;
    std::string text;
    const char* lineBreak;
    Lines lines;
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.name; }

const SplitCase kSplitCases[] = {
    {"EmptyText", "", "\r\n", {}},
    {"OnlyLineEnds", "\r\n\r\n\n\r\r", "\r\n", {}},
    {"EveryKindOfLineEnd", "a\r\nb\rc\nd", "\r\n", {"a", "b", "c", "d"}},
    {"BlankAndTabMakeLines", " \n\t\n", "\r\n", {" ", "\t"}},
    {"ControlBytesMakeLines", "\x01\n\x7F\xFF", "\r\n", {"\x01", "\x7F\xFF"}},
    {"NulEndsText", std::string("a\0b\nc", 5), "\r\n", {"a"}},
    {"NulAtStart", std::string("\0a", 2), "\r\n", {}},
    {"NulAfterLineEnd", std::string("a\n\0b", 4), "\r\n", {"a"}},
    {"NotTrimmed", "  k = v  \n", "\r\n", {"  k = v  "}},
    {"EscapedNewlineWithBlank", "x=One\\nTwo", " ", {"x=One Two"}},
    {"EscapedNewlineWithCrLf", "x=One\\nTwo", "\r\n", {"x=One\r\nTwo"}},
    {"EscapedNewlineWithNothing", "\\n", "", {""}},
    {"NullLineBreakIsNothing", "a\\nb", nullptr, {"ab"}},
    {"EscapesPerLine", "a\\\nb\\", "\r\n", {"a", "b"}},
    {"LineOfOnlyABackslashIsKeptEmpty", "\\\nx", "\r\n", {"", "x"}},
    {"AllEscapes", "\\\\ \\t \\q \\", "\r\n", {"\\ \t \\q "}},
};

class SplitTable : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitTable, CutsAndUnescapes) {
    const SplitCase& c = GetParam();
    EXPECT_EQ(split(c.text, c.lineBreak), c.lines);
}

INSTANTIATE_TEST_SUITE_P(SplitMetadataLines, SplitTable, testing::ValuesIn(kSplitCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SplitMetadataLines, LengthBoundsTheText) {
    const std::string text = "first\nsecond";
    EXPECT_EQ(takeLines(splitMetadataLines(text.data(), 8, "\r\n")), (Lines{"first", "se"}));
    EXPECT_EQ(takeLines(splitMetadataLines(nullptr, 0, "\r\n")), Lines{});
}

TEST(SplitMetadataLines, ManyLongLines) {
    std::string text;
    Lines expected;
    for (int i = 0; i < 2000; ++i) {
        std::string line(i % 300 + 1, static_cast<char>('a' + i % 26));
        expected.push_back(line);
        text += line + (i % 2 ? "\r\n" : "\n");
    }
    EXPECT_EQ(split(text, "\r\n"), expected);
}

TEST(UnescapeValue, Table) {
    struct Case {
        std::string text;
        const char* lineBreak;
        std::string result;
    };
    const Case cases[] = {
        {"plain", "\r\n", "plain"},
        {"", "\r\n", ""},
        {"\\\\", "\r\n", "\\"},
        {"\\t", "\r\n", "\t"},
        {"\\n", "\r\n", "\r\n"},
        {"\\n", " ", " "},
        {"\\\\n", "\r\n", "\\n"},
        {"\\\\\\", "\r\n", "\\"},
        {"\\\\\\\\", "\r\n", "\\\\"},
        {"\\x\\", "\r\n", "\\x"},
        {"\\N\\T", "\r\n", "\\N\\T"},
        {"\\\xC3\xA9", "\r\n", "\\\xC3\xA9"},
        {"\\n\\n\\n", "<br/>", "<br/><br/><br/>"},
        {"a\\n", "a much longer line break text", "aa much longer line break text"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(takeText(unescapeValue(c.text.data(), c.text.size(), c.lineBreak)), c.result)
            << c.text;
    EXPECT_EQ(takeText(unescapeValue("ab\\n", 3, "\r\n")), "ab");
    EXPECT_EQ(unescapeValue(nullptr, 0, "\r\n"), nullptr);
}

TEST(FindLineIndexByPrefix, FirstLineStartingWithKey) {
    const char* key = "org.morvane.start.filenames=";
    struct Case {
        std::vector<const char*> lines;
        int index;
    };
    const Case cases[] = {
        {{"a=1", "org.morvane.start.filenames=", "org.morvane.start.filenames=false"}, 1},
        {{"org.morvane.start.filenames=false"}, 0},
        {{"org.morvane.start.filenames"}, -1},
        {{"org.morvane"}, -1},
        {{"ORG.MORVANE.START.FILENAMES=1"}, -1},
        {{" org.morvane.start.filenames=1"}, -1},
        {{}, -1},
    };
    for (const Case& c : cases) {
        std::vector<char*> lines;
        for (const char* l : c.lines) lines.push_back(const_cast<char*>(l));
        lines.push_back(nullptr);
        EXPECT_EQ(findLineIndexByPrefix(lines.data(), key), c.index);
    }
    char* one[] = {const_cast<char*>("x"), nullptr};
    EXPECT_EQ(findLineIndexByPrefix(nullptr, key), -1);
    EXPECT_EQ(findLineIndexByPrefix(one, nullptr), -1);
    EXPECT_EQ(findLineIndexByPrefix(one, ""), 0);
}

struct TransformLog {
    int calls = 0;
};

// Upper-cases a copy; refuses lines that start with '!'.
void* upperOrRefuse(const char* line, void* userData) {
    ++static_cast<TransformLog*>(userData)->calls;
    if (line[0] == '!') return nullptr;
    char* copy = copyText(line, std::strlen(line));
    if (copy)
        for (char* p = copy; *p; ++p) *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    return copy;
}

void* decodeLine(const char* line, void*) { return utf8ToWide(line, std::strlen(line)); }

TEST(MapLines, OneEntryPerLine) {
    char* lines[] = {const_cast<char*>("ab"), const_cast<char*>(""), const_cast<char*>("c"), nullptr};
    TransformLog log;
    auto mapped = takeLines(reinterpret_cast<char**>(mapLines(lines, upperOrRefuse, &log)));
    EXPECT_EQ(mapped, (Lines{"AB", "", "C"}));
    EXPECT_EQ(log.calls, 3);
}

TEST(MapLines, RefusedLineEndsTheArray) {
    char* lines[] = {const_cast<char*>("a"), const_cast<char*>("b"), const_cast<char*>("!bad"),
                     const_cast<char*>("c"), nullptr};
    TransformLog log;
    void** mapped = mapLines(lines, upperOrRefuse, &log);
    ASSERT_NE(mapped, nullptr);
    // The lines after the refused one are never transformed, so nothing past
    // the null entry is left for freeLines to miss.
    EXPECT_EQ(log.calls, 3);
    EXPECT_EQ(takeLines(reinterpret_cast<char**>(mapped)), (Lines{"A", "B"}));
}

TEST(MapLines, BadUtf8LineEndsWideList) {
    char* lines[] = {const_cast<char*>("Version 1.0"), const_cast<char*>("\xC3\xA9t\xC3\xA9"),
                     const_cast<char*>("bad \xC3\x28"), const_cast<char*>("after"), nullptr};
    WChar** wide = reinterpret_cast<WChar**>(mapLines(lines, decodeLine, nullptr));
    ASSERT_NE(wide, nullptr);
    ASSERT_NE(wide[0], nullptr);
    ASSERT_NE(wide[1], nullptr);
    EXPECT_EQ(WString(wide[0]), WString(u"Version 1.0"));
    EXPECT_EQ(WString(wide[1]), WString(u"\u00E9t\u00E9"));
    EXPECT_EQ(wide[2], nullptr);
    freeLines(wide);
}

TEST(MapLines, EmptyAndNullInput) {
    char* none[] = {nullptr};
    TransformLog log;
    EXPECT_EQ(takeLines(reinterpret_cast<char**>(mapLines(none, upperOrRefuse, &log))), Lines{});
    EXPECT_EQ(mapLines(nullptr, upperOrRefuse, &log), nullptr);
    EXPECT_EQ(mapLines(none, nullptr, &log), nullptr);
    freeLineArray(nullptr);
}

TEST(LineArray, HolderFreesTheLines) {
    const std::string text = "a\nb";
    LineArray<char> lines(splitMetadataLines(text.data(), text.size(), "\r\n"));
    ASSERT_TRUE(lines);
    EXPECT_STREQ(lines.get()[1], "b");
}

TEST(MetadataTextAllocation, EveryFailureGivesNullAndLeaksNothing) {
    const std::string text = "default=Hello\\nWorld\r\nde=Hallo\\t!\r\nde_AT=Servus\n";
    long failedAt = 0;
    EXPECT_EQ(sweepExpecting([&] { return split(text, "\r\n"); },
                             Lines{"default=Hello\r\nWorld", "de=Hallo\t!", "de_AT=Servus"}, &failedAt),
              4)
        << failedAt;
    EXPECT_EQ(sweepExpecting([&] { return takeText(unescapeValue("a\\nb", 4, "\r\n")); },
                             std::string("a\r\nb"), &failedAt),
              1)
        << failedAt;
    EXPECT_EQ(sweepExpecting(
                  [&] { return takeText(findKeyLine(text.data(), text.size(), "fr_FR=", "de=", "default=")); },
                  std::string("de=Hallo\\t!"), &failedAt),
              1)
        << failedAt;
    EXPECT_EQ(sweepExpecting([&] { return describe(text, "de_DE"); }, WString(u"Hallo\t!"), &failedAt), 3)
        << failedAt;

    // mapLines: a failed array gives null, a failed transform ends the array
    // early; either way nothing leaks.
    char* lines[] = {const_cast<char*>("a"), const_cast<char*>("b"), nullptr};
    long run = 0;
    long tried = sweepAllocationFailures([&] {
        ++run;
        TransformLog log;
        auto mapped = takeLines(reinterpret_cast<char**>(mapLines(lines, upperOrRefuse, &log)));
        if (allocationCount() < run) return mapped == Lines{"A", "B"};
        return !mapped || (mapped->size() < 2);
    });
    EXPECT_EQ(tried, 3);
}

}  // namespace
