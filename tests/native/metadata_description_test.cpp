// The description lookup end to end: jars packed by the JDK's jar
// (tests/fixtures/make_text.sh), read through the archive reader, with
// Info-ZIP unzip as the reference for the member's bytes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "TestSupport.h"
#include "TextTestSupport.h"
#include "text/MetadataText.h"

namespace {

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
    if (got) EXPECT_EQ(*got, WString(c.description->begin(), c.description->end()));

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

}  // namespace
