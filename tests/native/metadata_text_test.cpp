// The key=value text of the shell-meta-inf members: cutting into lines,
// escapes and key lookup.
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
