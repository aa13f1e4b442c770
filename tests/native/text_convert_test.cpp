// Strict UTF-8 <-> UTF-16 conversion, the quote-joined name list and the
// running-end appends.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cstring>
#include <random>
#include <vector>

#include "TestSupport.h"
#include "TextTestSupport.h"
#include "text/TextConvert.h"

namespace {

struct DecodeCase {
    const char* name;
    const char* hex;
    // Expected units (terminator not included); ignored when rejected.
    std::u16string units;
    bool accepted;
};

const DecodeCase kDecodeCases[] = {
    {"NoBytesGiveEmptyString", "", u"", true},
    {"Ascii", "61 62 63", u"abc", true},
    {"NulByteInsideLength", "61 00 62", std::u16string(u"a\0b", 3), true},
    {"TwoByteLowest", "C2 80", u"\u0080", true},
    {"TwoByteHighest", "DF BF", u"\u07FF", true},
    {"ThreeByteLowest", "E0 A0 80", u"\u0800", true},
    {"LastBeforeSurrogates", "ED 9F BF", u"\uD7FF", true},
    {"FirstAfterSurrogates", "EE 80 80", u"\uE000", true},
    {"ThreeByteHighest", "EF BF BF", u"\uFFFF", true},
    {"ByteOrderMarkIsACharacter", "EF BB BF 41", u"\uFEFF" u"A", true},
    {"FourByteLowest", "F0 90 80 80", u"\U00010000", true},
    {"EmojiBecomesSurrogatePair", "F0 9F 98 80", u"\xD83D\xDE00", true},
    {"HighestCodePoint", "F4 8F BF BF", u"\U0010FFFF", true},
    {"Mixed", "61 C3 A9 E2 82 AC F0 9F 98 80 7A", u"a\u00E9\u20AC\U0001F600z", true},

    {"OverlongNul", "C0 80", u"", false},
    {"OverlongC1", "C1 BF", u"", false},
    {"OverlongThreeByte", "E0 80 80", u"", false},
    {"OverlongThreeByteTop", "E0 9F BF", u"", false},
    {"EncodedHighSurrogate", "ED A0 80", u"", false},
    {"EncodedLowSurrogate", "ED BF BF", u"", false},
    {"OverlongFourByte", "F0 80 80 80", u"", false},
    {"OverlongFourByteTop", "F0 8F BF BF", u"", false},
    {"AboveLastCodePoint", "F4 90 80 80", u"", false},
    {"SecondByteNoContinuation", "F4 41 80 80", u"", false},
    {"ThirdByteNoContinuation", "E2 82 28", u"", false},
    {"FourthByteNoContinuation", "F0 9F 98 28", u"", false},
    {"SecondByteTooHigh", "C3 C0", u"", false},
    {"LoneContinuation", "80", u"", false},
    {"LoneContinuationAfterText", "61 62 BF", u"", false},
    {"TruncatedAtEnd", "E2 82", u"", false},
    {"TruncatedLead", "E2", u"", false},
    {"TruncatedFourByte", "F0 9F 98", u"", false},
    {"BadSequenceAfterGoodText", "48 65 6C 6C 6F C3 28", u"", false},
    {"FiveByteForm", "F8 88 80 80 80", u"", false},
};

void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.name; }

class DecodeTable : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeTable, GivesUnitsOrNothing) {
    const DecodeCase& c = GetParam();
    std::string bytes = unhex(c.hex);
    WChar* wide = utf8ToWide(bytes.data(), bytes.size());
    if (!c.accepted) {
        EXPECT_EQ(wide, nullptr);
        coreFree(wide);
        return;
    }
    ASSERT_NE(wide, nullptr);
    auto units = takeWideUnits(wide, c.units.size() + 1);
    EXPECT_EQ(*units, c.units + std::u16string(1, u'\0'));
}

INSTANTIATE_TEST_SUITE_P(Utf8ToWide, DecodeTable, testing::ValuesIn(kDecodeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Utf8ToWide, RejectsEveryLeadByteThatStartsNoSequence) {
    for (int lead = 0x80; lead <= 0xFF; ++lead) {
        if (lead >= 0xC2 && lead <= 0xF4) continue;
        // Followed by continuation bytes, so only the lead itself is wrong.
        const char bytes[] = {static_cast<char>(lead), '\x80', '\x80', '\x80'};
        EXPECT_EQ(utf8ToWide(bytes, sizeof bytes), nullptr) << std::hex << lead;
        EXPECT_EQ(utf8ToWide(bytes, 1), nullptr) << std::hex << lead;
    }
}

TEST(Utf8ToWide, StopsAtTheGivenLength) {
    // The last two bytes would be a bad sequence; they lie outside the length.
    const char bytes[] = "ab\xC3\x28";
    EXPECT_EQ(takeWide(utf8ToWide(bytes, 2)), WString(u"ab"));
}

TEST(Utf8ToWide, NullBytesWithLengthGiveNull) { EXPECT_EQ(utf8ToWide(nullptr, 3), nullptr); }

// glibc's iconv is a strict decoder written independently of ours: over every
// input of one and two bytes and over longer inputs built from the bytes at
// the edges of the ranges, both must accept the same inputs and agree on the
// units.
class IconvReference {
public:
    IconvReference() : cd_(iconv_open("UTF-16LE", "UTF-8")) {}
    ~IconvReference() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    }
    bool ready() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    std::optional<std::u16string> decode(const std::string& bytes) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::vector<char> out(bytes.size() * 2 + 8);
        char* in = const_cast<char*>(bytes.data());
        size_t inLeft = bytes.size();
        char* outPtr = out.data();
        size_t outLeft = out.size();
        if (iconv(cd_, &in, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) || inLeft != 0)
            return std::nullopt;
        std::u16string units;
        for (char* p = out.data(); p < outPtr; p += 2)
            units += static_cast<char16_t>(static_cast<unsigned char>(p[0]) |
                                           (static_cast<unsigned char>(p[1]) << 8));
        return units;
    }

private:
    iconv_t cd_;
};

std::optional<std::u16string> decodeOurs(const std::string& bytes) {
    WChar* wide = utf8ToWide(bytes.data(), bytes.size());
    if (!wide) return std::nullopt;
    // The buffer holds one unit per input byte and the terminator; the caller
    // compares the reference's number of units, since 0 units may occur inside.
    std::u16string units(wide, bytes.size());
    coreFree(wide);
    return units;
}

TEST(Utf8ToWide, AgreesWithIconvOnEdgeInputs) {
    IconvReference reference;
    ASSERT_TRUE(reference.ready());
    const unsigned char edges[] = {0x00, 0x41, 0x7F, 0x80, 0x81, 0x8F, 0x90, 0x9F, 0xA0, 0xBF,
                                   0xC0, 0xC2, 0xDF, 0xE0, 0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xFF};
    long compared = 0;
    auto compare = [&](const std::string& bytes) {
        auto expected = reference.decode(bytes);
        auto ours = decodeOurs(bytes);
        ++compared;
        ASSERT_EQ(ours.has_value(), expected.has_value()) << hexBytes(bytes);
        if (expected) { EXPECT_EQ(ours->substr(0, expected->size()), *expected) << hexBytes(bytes); }
    };
    for (int a = 0; a < 256; ++a) {
        compare(std::string(1, static_cast<char>(a)));
        for (int b = 0; b < 256; ++b) compare({static_cast<char>(a), static_cast<char>(b)});
        for (unsigned char b : edges)
            for (unsigned char c : edges) {
                compare({static_cast<char>(a), static_cast<char>(b), static_cast<char>(c)});
                if (a < 0xE0) continue;
                for (unsigned char d : edges)
                    compare({static_cast<char>(a), static_cast<char>(b), static_cast<char>(c),
                             static_cast<char>(d)});
            }
        if (HasFailure()) return;
    }
    EXPECT_GT(compared, 300000);
}

struct EncodeCase {
    const char* name;
    std::u16string units;
    const char* hex;  // null when rejected
};

const EncodeCase kEncodeCases[] = {
    {"Empty", u"", ""},
    {"Ascii", u"abc", "61 62 63"},
    {"TwoByteLowest", u"\u0080", "C2 80"},
    {"TwoByteHighest", u"\u07FF", "DF BF"},
    {"ThreeByteLowest", u"\u0800", "E0 A0 80"},
    {"ThreeByteHighest", u"\uFFFF", "EF BF BF"},
    {"ByteOrderMark", u"\uFEFF", "EF BB BF"},
    {"SurrogatePair", u"\xD83D\xDE00", "F0 9F 98 80"},
    {"HighestPair", u"\xDBFF\xDFFF", "F4 8F BF BF"},
    {"LowestPair", u"\xD800\xDC00", "F0 90 80 80"},
    {"ZeroUnitInsideCount", std::u16string(u"a\0b", 3), "61 00 62"},
    {"HighSurrogateAlone", u"\xD800", nullptr},
    {"HighSurrogateLast", u"ab\xD800", nullptr},
    {"LowSurrogateAlone", u"\xDC00", nullptr},
    {"PairReversed", u"\xDC00\xD800", nullptr},
    {"HighThenLetter", u"\xD800" u"A", nullptr},
    {"TwoHighSurrogates", u"\xD800\xD800", nullptr},
};

void PrintTo(const EncodeCase& c, std::ostream* os) { *os << c.name; }

class EncodeTable : public testing::TestWithParam<EncodeCase> {};

TEST_P(EncodeTable, GivesShortestFormOrNothing) {
    const EncodeCase& c = GetParam();
    char* utf8 = wideToUtf8(c.units.data(), c.units.size());
    if (!c.hex) {
        EXPECT_EQ(utf8, nullptr);
        coreFree(utf8);
        return;
    }
    ASSERT_NE(utf8, nullptr);
    std::string expected = unhex(c.hex);
    EXPECT_EQ(hexBytes(std::string(utf8, expected.size() + 1)), hexBytes(expected + '\0'));
    coreFree(utf8);
}

INSTANTIATE_TEST_SUITE_P(WideToUtf8, EncodeTable, testing::ValuesIn(kEncodeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WideToUtf8, ConvertsOnlyCountUnits) {
    EXPECT_EQ(takeText(wideToUtf8(u"abcd", 2)), "ab");
    // A count that cuts a pair in two leaves a lone high surrogate.
    EXPECT_EQ(wideToUtf8(u"\xD83D\xDE00", 1), nullptr);
}

// Random valid UTF-16 (no 0 unit), from every range including pairs.
std::u16string randomWide(std::mt19937& rng) {
    std::uniform_int_distribution<int> length(0, 40), kind(0, 3);
    std::uniform_int_distribution<int> ascii(1, 0x7F), twoByte(0x80, 0x7FF);
    std::uniform_int_distribution<int> bmp(0x800, 0xFFFF - 0x800);
    std::uniform_int_distribution<int> supplementary(0x10000, 0x10FFFF);
    std::u16string s;
    for (int n = length(rng); n > 0; --n) {
        switch (kind(rng)) {
            case 0: s += static_cast<char16_t>(ascii(rng)); break;
            case 1: s += static_cast<char16_t>(twoByte(rng)); break;
            case 2: {
                int v = bmp(rng);
                if (v >= 0xD800) v += 0x800;  // skip the surrogate range
                s += static_cast<char16_t>(v);
                break;
            }
            default: {
                int v = supplementary(rng) - 0x10000;
                s += static_cast<char16_t>(0xD800 + (v >> 10));
                s += static_cast<char16_t>(0xDC00 + (v & 0x3FF));
            }
        }
    }
    return s;
}

TEST(Utf8RoundTrip, EveryValidWideStringSurvives) {
    std::mt19937 rng(20240611);
    for (int i = 0; i < 20000; ++i) {
        std::u16string s = randomWide(rng);
        char* utf8 = wideToUtf8(s.data(), s.size());
        ASSERT_NE(utf8, nullptr) << i;
        auto back = takeWide(utf8ToWide(utf8, std::strlen(utf8)));
        coreFree(utf8);
        ASSERT_TRUE(back.has_value()) << i;
        ASSERT_EQ(*back, s) << i;
    }
}

TEST(QuoteJoinList, QuotesEveryItemAndKeepsTheLastBlank) {
    struct Case {
        std::string list;  // double-NUL list without its final NUL
        std::string joined;
    };
    const Case cases[] = {
        {std::string("a.txt\0b c.txt\0", 14), "\"a.txt\" \"b c.txt\" "},
        {std::string("x\0", 2), "\"x\" "},
        {"", ""},
        {std::string("say \"hi\"\0", 9), "\"say \"hi\"\" "},
        // a trailing backslash run is doubled, others stay
        {std::string("C:\\\0a\\b\\\\\0", 10), "\"C:\\\\\" \"a\\b\\\\\\\\\" "},
    };
    for (const Case& c : cases) {
        std::string list = c.list + '\0';
        EXPECT_EQ(takeText(quoteJoinList(list.c_str())), c.joined);
        std::u16string wideList(list.begin(), list.end());
        std::u16string wideJoined(c.joined.begin(), c.joined.end());
        EXPECT_EQ(takeWide(quoteJoinListW(wideList.c_str())), wideJoined);
    }
    EXPECT_EQ(quoteJoinList(nullptr), nullptr);
    EXPECT_EQ(quoteJoinListW(nullptr), nullptr);
}

TEST(QuoteJoinList, WideItemsKeepTheirUnits) {
    const char16_t list[] = u"\u00E9t\u00E9\0\xD83D\xDE00\0";
    EXPECT_EQ(takeWide(quoteJoinListW(list)), WString(u"\"\u00E9t\u00E9\" \"\xD83D\xDE00\" "));
}

TEST(CopyText, CopiesLengthBytesAndTerminates) {
    EXPECT_EQ(takeText(copyText("abcdef", 3)), "abc");
    EXPECT_EQ(takeText(copyText("", 0)), "");
    EXPECT_EQ(copyText(nullptr, 0), nullptr);
}

TEST(TextConvertAllocation, EveryFailureGivesNullAndLeaksNothing) {
    const std::string utf8 = "a\xC3\xA9\xF0\x9F\x98\x80";
    const WString wide = u"a\u00E9\xD83D\xDE00";
    const char narrowList[] = "a\0b c\0";
    const char16_t wideList[] = u"a\0b c\0";
    long failedAt = 0;
    EXPECT_EQ(sweepExpecting([&] { return takeWide(utf8ToWide(utf8.data(), utf8.size())); }, wide,
                             &failedAt), 1) << failedAt;
    EXPECT_EQ(sweepExpecting([&] { return takeText(wideToUtf8(wide.data(), wide.size())); }, utf8,
                             &failedAt), 1) << failedAt;
    EXPECT_EQ(sweepExpecting([&] { return takeText(quoteJoinList(narrowList)); },
                             std::string("\"a\" \"b c\" "), &failedAt), 1) << failedAt;
    EXPECT_EQ(sweepExpecting([&] { return takeWide(quoteJoinListW(wideList)); },
                             WString(u"\"a\" \"b c\" "), &failedAt), 1) << failedAt;
    EXPECT_EQ(sweepExpecting([&] { return takeText(copyText("abc", 3)); }, std::string("abc"),
                             &failedAt), 1) << failedAt;
}

}  // namespace
