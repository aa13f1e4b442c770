// The version member: its lines as the page lists them, the name/value split
// of an item, the well-known names, and reading it out of real jars.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "TextTestSupport.h"
#include "versionpage/VersionFile.h"

namespace {

using WLines = std::vector<std::u16string>;

std::optional<WLines> takeList(VersionList* list) {
    if (!list) return std::nullopt;
    WLines lines;
    for (VersionList* p = list; *p; ++p) lines.emplace_back(*p);
    EXPECT_EQ(versionLineCount(list), lines.size());
    freeVersionList(&list);
    EXPECT_EQ(list, nullptr);
    return lines;
}

std::optional<WLines> parse(const std::string& bytes) {
    return takeList(parseVersionList(bytes.data(), bytes.size()));
}

struct ParseCase {
    const char* name;
    std::string bytes;
    WLines lines;
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }

const ParseCase kParseCases[] = {
    {"AnyLineEndsAndBlankLines", "\r\nVersion=1\r\n\r\nA=b\rC=d\n\n\nE", {u"Version=1", u"A=b", u"C=d", u"E"}},
    {"NothingButLineBreaks", "\r\n\n\r\r\n", {}},
    {"ZeroBytes", "", {}},
    {"FirstByteZero", std::string("\0Version=1\n", 11), {}},
    {"ZeroByteEndsText", std::string("Version=1\nA=\0b\nC=d", 18), {u"Version=1", u"A="}},
    {"ByteOrderMarkStaysInFirstName", "\xEF\xBB\xBFVersion=5.0\nB=x", {u"\uFEFFVersion=5.0", u"B=x"}},
    {"LinesAreNotTrimmed", " Version = 1 \t\n\tx", {u" Version = 1 \t", u"\tx"}},
    {"EscapedLineBreakIsCrLf", "Notes=One\\nTwo", {u"Notes=One\r\nTwo"}},
    {"OtherEscapes", "P=C:\\\\x\\ty\\q\\", {u"P=C:\\x\ty\\q"}},
    {"EscapeNeverJoinsLines", "A=a\\\nB=b", {u"A=a", u"B=b"}},
    {"Utf8Values", "Vendor=Gr\xC3\xBC\xC3\x9F \xF0\x9F\x98\x80", {u"Vendor=Gr\u00FC\u00DF \U0001F600"}},
    {"DuplicatesAllKept", "Version=1\nVersion=2", {u"Version=1", u"Version=2"}},
    {"BadUtf8MidwayKeepsEarlierLines", "Version=3\nD=ok\nVendor=Caf\xE9 Ltd\nCopyright=x",
     {u"Version=3", u"D=ok"}},
    {"BadUtf8InFirstLineGivesNoLines", "Version=\xC3\x28\nDescription=x", {}},
    {"TruncatedSequenceAtLineEnd", "A=\xE2\x82\nB=c", {}},
    {"EncodedSurrogateRejected", "A=1\nB=\xED\xA0\x80", {u"A=1"}},
    // An escape cannot smuggle a bad byte past the check: it is decoded
    // after the escapes are undone.
    {"BadByteAfterBackslash", "A=1\nB=\\\xFF", {u"A=1"}},
};

class ParseVersionList : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseVersionList, Lines) {
    const ParseCase& c = GetParam();
    EXPECT_EQ(parse(c.bytes), c.lines);
}

INSTANTIATE_TEST_SUITE_P(Members, ParseVersionList, ::testing::ValuesIn(kParseCases),
                         [](const ::testing::TestParamInfo<ParseCase>& info) { return info.param.name; });

struct ItemCase {
    std::u16string line;
    std::u16string name;
    std::optional<std::u16string> value;
    VersionField field;
};

TEST(VersionItem, NameValueAndField) {
    const ItemCase cases[] = {
        {u"Version=2.4.1", u"Version", u"2.4.1", kFileVersionField},
        {u"Description=A tool", u"Description", u"A tool", kDescriptionField},
        {u"Copyright=(C) me", u"Copyright", u"(C) me", kCopyrightField},
        {u"Version=", u"Version", u"", kFileVersionField},
        {u"Version", u"Version", std::nullopt, kFileVersionField},
        {u"Formula=a=b+c", u"Formula", u"a=b+c", kNoVersionField},
        {u"=value", u"", u"value", kNoVersionField},
        {u"version=1", u"version", u"1", kNoVersionField},
        {u"DESCRIPTION=x", u"DESCRIPTION", u"x", kNoVersionField},
        {u"Versions=1", u"Versions", u"1", kNoVersionField},
        {u"Versio=1", u"Versio", u"1", kNoVersionField},
        {u"Version =1", u"Version ", u"1", kNoVersionField},
        {u"\uFEFFVersion=5.0", u"\uFEFFVersion", u"5.0", kNoVersionField},
        {u"Copyright\u0100=1", u"Copyright\u0100", u"1", kNoVersionField},
        {u"Notes=One\r\nTwo", u"Notes", u"One\r\nTwo", kNoVersionField},
    };
    for (const ItemCase& c : cases) {
        std::u16string line = c.line;
        VersionItem item = splitVersionLine(&line[0]);
        SCOPED_TRACE(std::string(c.line.begin(), c.line.end()));
        EXPECT_EQ(std::u16string(line.data(), item.nameLength), c.name);
        if (c.value) {
            ASSERT_NE(item.value, nullptr);
            EXPECT_EQ(std::u16string(item.value), *c.value);
            EXPECT_EQ(item.value, line.data() + item.nameLength + 1) << "the value points into the line";
        } else {
            EXPECT_EQ(item.value, nullptr);
        }
        EXPECT_EQ(versionFieldOf(line.data(), item.nameLength), c.field);
        EXPECT_EQ(line, c.line) << "splitting leaves the line as it was";
    }
}

// The line a field shows is the last one with its name; the member's own
// line count tells where decoding stopped.
TEST(VersionFieldLine, LastLineWithTheNameFillsTheField) {
    const std::string text = "Version=1\nversion=x\nDescription\nVersion=2\nCopyright=c\nVendor=Caf\xE9\nA=b\n";
    size_t memberLines = 0;
    VersionList* list = parseVersionList(text.data(), text.size(), &memberLines);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(memberLines, 7u);
    EXPECT_EQ(versionLineCount(list), 5u);
    EXPECT_EQ(versionFieldLine(list, kFileVersionField), 3);
    EXPECT_EQ(versionFieldLine(list, kDescriptionField), 2);
    EXPECT_EQ(versionFieldLine(list, kCopyrightField), 4);
    EXPECT_EQ(versionFieldLine(nullptr, kCopyrightField), -1);
    freeVersionList(&list);
    EXPECT_STREQ(versionFieldName(kFileVersionField), "Version");
    EXPECT_STREQ(versionFieldName(kCopyrightField), "Copyright");
}

// Members read out of jars made by the JDK's jar and Info-ZIP zip.
struct JarCase {
    const char* jar;
    std::optional<WLines> lines;
};

TEST(ReadVersionList, FromJars) {
    const WLines sample = {u"Version=2.4.1",
                           u"Description=Morvane sample tool",
                           u"Copyright=(C) 2026 The Morvane developers",
                           u"Vendor=Gr\u00FC\u00DF & S\u00F6hne",
                           u"Notes=First line\r\nSecond line",
                           u"Experimental",
                           u"Formula=a=b+c",
                           u"Build-Date=",
                           u"Path=C:\\tools\\morvane",
                           u"\u0410\u0432\u0442\u043E\u0440=\u0391\u03B8\u03B7\u03BD\u03AC \u6771\u4EAC"};
    const JarCase cases[] = {
        {"sample.jar", sample},
        {"sample-lf.jar", sample},
        {"duplicates.jar", WLines{u"Version=1.0", u"version=lower", u"Version=2.0", u"DESCRIPTION=upper",
                                  u"Description", u"Copyright=first", u"Copyright=second"}},
        {"midway.jar", WLines{u"Version=3.0", u"Description=fine"}},
        {"badfirst.jar", WLines{}},
        {"breaks.jar", WLines{}},
        {"bom.jar", WLines{u"\uFEFFVersion=5.0", u"Copyright=kept"}},
        {"empty.jar", std::nullopt},
        {"none.jar", std::nullopt},
        {"no-such-file.jar", std::nullopt},
    };
    for (const JarCase& c : cases) {
        SCOPED_TRACE(c.jar);
        std::string path = fixturePath(std::string("version/") + c.jar);
        EXPECT_EQ(takeList(readVersionList(path.c_str())), c.lines);
    }
}

// Out of memory anywhere gives no list, or (when decoding a line is what
// failed) the lines before it; never a wrong line, never a leak.
TEST(ParseVersionList, AllocationFailures) {
    const std::string bytes = "Version=1\nNotes=a\\nb\nVendor=Gr\xC3\xBC\xC3\x9F";
    const WLines full = {u"Version=1", u"Notes=a\r\nb", u"Vendor=Gr\u00FC\u00DF"};
    long run = 0;
    long points = sweepAllocationFailures([&] {
        ++run;
        auto lines = takeList(parseVersionList(bytes.data(), bytes.size()));
        if (allocationCount() < run) return lines == full;
        if (!lines) return true;
        return lines->size() < full.size() && std::equal(lines->begin(), lines->end(), full.begin());
    });
    EXPECT_GE(points, 6) << "the split lines, their array, the decoded lines and the list";
}

}  // namespace
