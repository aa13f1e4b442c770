// The tooltip's description lookup: the locale, language and default keys
// over member bytes, and end to end over jars packed by the JDK's jar
// (tests/fixtures/make_text.sh), read through the archive reader, with
// Info-ZIP unzip as the reference for the member's bytes.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "TextTestSupport.h"
#include "infotip/Description.h"

namespace {

using Lines = std::vector<std::string>;

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

std::optional<WString> readFrom(const std::string& jar, const char* locale) {
    return takeWide(readDescription(fixturePath("text/" + jar).c_str(), locale, "\r\n"));
}

// The member's bytes as Info-ZIP unzip extracts them; nullopt when unzip
// finds no such member.
std::optional<std::string> unzipMember(const std::string& jar) {
    std::string command = "unzip -p '" + fixturePath("text/" + jar) + "' shell-meta-inf/description 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return std::nullopt;
    std::string bytes;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) bytes.append(buffer, n);
    int status = pclose(pipe);
    if (status != 0) return std::nullopt;
    return bytes;
}

const std::u16string kEnglish = u"One\r\nTwo\tTab C:\\tmp";

struct JarCase {
    const char* jar;
    const char* locale;
    std::optional<std::u16string> description;
};

void PrintTo(const JarCase& c, std::ostream* os) { *os << c.jar << " " << c.locale; }

const JarCase kJarCases[] = {
    {"tool.jar", "de_AT", u"Werkzeug (\u00D6sterreich)"},
    {"tool.jar", "de_DE", u"Werkzeug"},
    {"tool.jar", "fr_FR", u"Tool"},
    {"tool.jar", "en_US", kEnglish},
    {"tool-stored.jar", "de_AT", u"Werkzeug (\u00D6sterreich)"},
    {"tool-stored.jar", "en_GB", kEnglish},
    {"lineends.jar", "de_AT", u"Werkzeug (\u00D6sterreich)"},
    {"lineends.jar", "de_CH", u"Werkzeug"},
    {"lineends.jar", "it_IT", u"Tool"},
    {"lineends.jar", "en_US", kEnglish},
    {"nul.jar", "de_DE", u"Hello"},
    {"badutf8.jar", "de_DE", std::nullopt},
    {"badutf8.jar", "fr_FR", u"Bonjour"},
    {"emptyvalue.jar", "en_US", u""},
    {"emptymember.jar", "en_US", std::nullopt},
    {"nodescription.jar", "en_US", std::nullopt},
    {"wrongcase.jar", "en_US", std::nullopt},
    {"nodefault.jar", "en_US", std::nullopt},
    {"nodefault.jar", "fr_CA", u"Bonjour"},
};

class DescriptionJars : public testing::TestWithParam<JarCase> {};

TEST_P(DescriptionJars, ReadsTheLocalesLine) {
    const JarCase& c = GetParam();
    auto got = readFrom(c.jar, c.locale);
    ASSERT_EQ(got.has_value(), c.description.has_value());
    if (got) { EXPECT_EQ(*got, WString(c.description->begin(), c.description->end())); }

    // The same lookup over the bytes that unzip extracts.
    auto bytes = unzipMember(c.jar);
    std::optional<WString> reference;
    if (bytes && !bytes->empty())
        reference = takeWide(describeFromText(bytes->data(), bytes->size(), c.locale, "\r\n"));
    EXPECT_EQ(got, reference);
}

INSTANTIATE_TEST_SUITE_P(ReadDescription, DescriptionJars, testing::ValuesIn(kJarCases));

TEST(ReadDescription, NoArchiveGivesNull) {
    EXPECT_EQ(readDescription(fixturePath("text/missing.jar").c_str(), "en_US", "\r\n"), nullptr);
    // A file that is no zip archive: the fixture script itself.
    std::string script = std::string(std::getenv("MORVANE_SOURCE_DIR") ? std::getenv("MORVANE_SOURCE_DIR") : ".") +
                         "/tests/fixtures/make_text.sh";
    EXPECT_EQ(readDescription(script.c_str(), "en_US", "\r\n"), nullptr);
}

TEST(ReadDescription, EveryAllocationFailureGivesNullAndLeaksNothing) {
    long failedAt = 0;
    long tried = sweepExpecting([] { return readFrom("tool.jar", "de_AT"); }, WString(u"Werkzeug (\u00D6sterreich)"),
                                &failedAt);
    EXPECT_GE(tried, 3) << failedAt;
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
    if (got) { EXPECT_EQ(*got, WString(c.description->begin(), c.description->end())); }
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

TEST(ChooseDescriptionLine, TellsWhichKeyChoseTheLine) {
    const std::string text = "default=D\nde=L\r\nde_AT=O\nfr=F";
    const struct {
        std::string text;
        const char* locale;
        DescriptionRule rule;
        std::optional<std::string> line;
    } cases[] = {
        {text, "de_AT", kLocaleKeyLine, "de_AT=O"}, {text, "de_DE", kLanguageKeyLine, "de=L"},
        {text, "ja_JP", kDefaultKeyLine, "default=D"}, {text, "", kDefaultKeyLine, "default=D"},
        {"fr=F", "ja_JP", kNoDescriptionLine, std::nullopt}, {text, nullptr, kNoDescriptionLine, std::nullopt},
    };
    for (const auto& c : cases) {
        DescriptionChoice choice = chooseDescriptionLine(c.text.data(), c.text.size(), c.locale);
        EXPECT_EQ(choice.rule, c.rule) << (c.locale ? c.locale : "null");
        EXPECT_EQ(choice.line ? std::optional<std::string>(std::string(choice.line, choice.length)) : std::nullopt,
                  c.line);
    }
}

TEST(DescriptionKey, ReachableOnlyWhenALocaleNameFormsIt) {
    const struct {
        const char* key;
        bool reachable;
    } cases[] = {
        {"default", true}, {"de_AT", true},  {"de", true},       {"no_NO", true},  {"iw", true},
        {"zh_TW", true},   {"de-DE", false}, {"DE_de", false},   {"english", false}, {"Default", false},
        {"", false},       {"en_U", false},  {"default ", false}, {"no_NO_NY", false}, {"xx_YY", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isDescriptionKeyReachable(c.key, std::strlen(c.key)), c.reachable) << c.key;
}

TEST(DescriptionAllocation, EveryFailureGivesNullAndLeaksNothing) {
    const std::string text = "default=Hello\\nWorld\r\nde=Hallo\\t!\r\nde_AT=Servus\n";
    long failedAt = 0;
    EXPECT_EQ(sweepExpecting(
                  [&] { return takeText(findKeyLine(text.data(), text.size(), "fr_FR=", "de=", "default=")); },
                  std::string("de=Hallo\\t!"), &failedAt),
              1)
        << failedAt;
    EXPECT_EQ(sweepExpecting([&] { return describe(text, "de_DE"); }, WString(u"Hallo\t!"), &failedAt), 2)
        << failedAt;
}

}  // namespace
