// The parameter string of the program started for a drop: its exact blanks and
// quotes, the quoted names with the doubled trailing backslashes of a drive
// root, and the dropped-files block the names are taken from.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "TextTestSupport.h"
#include "text/TextConvert.h"
#include "launch/LaunchParameters.h"

namespace {

// ASCII test text in the width under test.
template <typename C>
std::basic_string<C> text(const std::string& ascii) {
    return std::basic_string<C>(ascii.begin(), ascii.end());
}

// Names laid out as a double-NUL list.
template <typename C>
std::basic_string<C> nameList(const std::vector<std::basic_string<C>>& names) {
    std::basic_string<C> list;
    for (const auto& n : names) {
        list += n;
        list += C(0);
    }
    list += C(0);
    return list;
}

template <typename C>
std::vector<std::basic_string<C>> texts(const std::vector<std::string>& ascii) {
    std::vector<std::basic_string<C>> out;
    for (const auto& a : ascii) out.push_back(text<C>(a));
    return out;
}

char* quote(const char* names) { return quoteJoinList(names); }
WChar* quote(const WChar* names) { return quoteJoinListW(names); }

template <typename C>
std::optional<std::basic_string<C>> take(C* result) {
    if (!result) return std::nullopt;
    std::basic_string<C> s(result);
    coreFree(result);
    return s;
}

struct QuoteCase {
    const char* label;
    std::vector<std::string> names;
    std::string expected;
};

const QuoteCase kQuoteCases[] = {
    {"EmptyListGivesEmptyText", {}, ""},
    {"OneName", {"x"}, "\"x\" "},
    {"DropOrderAndBlankAfterEveryName", {"C:\\a.txt", "C:\\b c.txt"}, "\"C:\\a.txt\" \"C:\\b c.txt\" "},
    {"InnerBackslashesStay", {"\\\\server\\share\\x.txt"}, "\"\\\\server\\share\\x.txt\" "},
    {"DriveRootDoublesItsBackslash", {"C:\\"}, "\"C:\\\\\" "},
    {"EveryTrailingBackslashIsDoubled", {"D:\\dir\\\\"}, "\"D:\\dir\\\\\\\\\" "},
    {"ShareRoot", {"\\\\server\\share\\"}, "\"\\\\server\\share\\\\\" "},
    {"RootBetweenOtherNames", {"a", "C:\\", "b"}, "\"a\" \"C:\\\\\" \"b\" "},
    {"QuoteInsideANameIsNotEscaped", {"say \"hi\""}, "\"say \"hi\"\" "},
};

template <typename C>
class QuoteDroppedNames : public ::testing::Test {};
using Widths = ::testing::Types<char, WChar>;
TYPED_TEST_SUITE(QuoteDroppedNames, Widths);

TYPED_TEST(QuoteDroppedNames, QuotesEveryNameAndMendsTrailingBackslashes) {
    using C = TypeParam;
    for (const QuoteCase& c : kQuoteCases) {
        auto list = nameList<C>(texts<C>(c.names));
        EXPECT_EQ(take(quote(list.c_str())), text<C>(c.expected)) << c.label;
    }
    EXPECT_EQ(quote(static_cast<const C*>(nullptr)), nullptr);
}

TYPED_TEST(QuoteDroppedNames, NoMemoryGivesNullAndLeaksNothing) {
    using C = TypeParam;
    auto list = nameList<C>(texts<C>({"C:\\a.txt", "C:\\"}));
    EXPECT_GT(sweepExpecting([&] { return take(quote(list.c_str())); },
                             std::optional<std::basic_string<C>>(text<C>("\"C:\\a.txt\" \"C:\\\\\" "))),
              0);
}

TEST(QuoteDroppedNamesW, NamesOutsideAsciiPassUnchanged) {
    WString name = u"C:\\\u00FC\u03A9\xD83D\xDE00\\";
    auto list = nameList<WChar>({name, u"b"});
    EXPECT_EQ(take(quoteJoinListW(list.c_str())), WString(u"\"C:\\\u00FC\u03A9\xD83D\xDE00\\\\\" \"b\" "));
}

struct BuildCase {
    const char* label;
    const char* listFile;
    const char* archive;
    const char* quotedNames;
    const char* expected;
};

const BuildCase kBuildCases[] = {
    {"NamesOnTheCommandLine", nullptr, "C:\\apps\\tool.jar", "\"C:\\a.txt\" \"C:\\b.txt\" ",
     "  -jar \"C:\\apps\\tool.jar\" \"C:\\a.txt\" \"C:\\b.txt\" "},
    {"ListFileInThePropertyTwoBlanksBeforeJar", "C:\\TEMP\\morA3.tmp", "C:\\apps\\tool.jar", nullptr,
     " -Dorg.morvane.start.filenames=\"C:\\TEMP\\morA3.tmp\"  -jar \"C:\\apps\\tool.jar\" "},
    {"ListFileLeavesNamesOut", "C:\\TEMP\\morA3.tmp", "C:\\apps\\tool.jar", "\"C:\\a.txt\" ",
     " -Dorg.morvane.start.filenames=\"C:\\TEMP\\morA3.tmp\"  -jar \"C:\\apps\\tool.jar\" "},
    {"NoListEndsAfterTheArchive", nullptr, "C:\\apps\\tool.jar", nullptr, "  -jar \"C:\\apps\\tool.jar\" "},
    {"EmptyNamesText", nullptr, "C:\\t.jar", "", "  -jar \"C:\\t.jar\" "},
    {"NothingInsideIsEscaped", "C:\\x\\", "C:\\my \"odd\" dir\\t.jar", nullptr,
     " -Dorg.morvane.start.filenames=\"C:\\x\\\"  -jar \"C:\\my \"odd\" dir\\t.jar\" "},
};

template <typename C>
class BuildLaunchParameters : public ::testing::Test {};
TYPED_TEST_SUITE(BuildLaunchParameters, Widths);

template <typename C>
const C* orNull(const char* ascii, std::basic_string<C>& storage) {
    if (!ascii) return nullptr;
    storage = text<C>(ascii);
    return storage.c_str();
}

TYPED_TEST(BuildLaunchParameters, ElementsInOrderWithTheirBlanks) {
    using C = TypeParam;
    for (const BuildCase& c : kBuildCases) {
        std::basic_string<C> list, archive, names;
        auto built = take(buildLaunchParameters(orNull<C>(c.listFile, list), orNull<C>(c.archive, archive),
                                                orNull<C>(c.quotedNames, names)));
        EXPECT_EQ(built, text<C>(c.expected)) << c.label;
    }
    EXPECT_EQ(buildLaunchParameters(static_cast<const C*>(nullptr), nullptr, nullptr), nullptr);
}

TYPED_TEST(BuildLaunchParameters, NoMemoryGivesNullAndLeaksNothing) {
    using C = TypeParam;
    auto list = text<C>("C:\\TEMP\\mor1.tmp");
    auto archive = text<C>("C:\\t.jar");
    EXPECT_GT(sweepExpecting([&] { return take(buildLaunchParameters(list.c_str(), archive.c_str(), nullptr)); },
                             std::optional<std::basic_string<C>>(
                                 text<C>(" -Dorg.morvane.start.filenames=\"C:\\TEMP\\mor1.tmp\"  -jar \"C:\\t.jar\" "))),
              0);
}

// ---- the dropped-files block ------------------------------------------------

std::string dropHeader(uint32_t listOffset, uint32_t wide) {
    std::string h(kDropFilesHeaderSize, '\0');
    std::memcpy(&h[0], &listOffset, 4);
    std::memcpy(&h[16], &wide, 4);
    return h;
}

std::string wideBytes(const WString& w) { return std::string(reinterpret_cast<const char*>(w.data()), w.size() * 2); }

struct BlockCase {
    const char* label;
    std::string block;
    bool readable;
    bool wide;
    bool hasList;
    std::vector<std::string> names;  // ASCII; read back from whichever list
};

std::vector<BlockCase> blockCases() {
    std::string ansi = nameList<char>({"C:\\a.txt", "C:\\b.txt"});
    std::string wide = wideBytes(nameList<WChar>({u"C:\\a.txt", u"C:\\b.txt"}));
    return {
        {"AnsiList", dropHeader(20, 0) + ansi, true, false, true, {"C:\\a.txt", "C:\\b.txt"}},
        {"WideList", dropHeader(20, 1) + wide, true, true, true, {"C:\\a.txt", "C:\\b.txt"}},
        {"AnyNonZeroWideFlag", dropHeader(20, 0x100) + wide, true, true, true, {"C:\\a.txt", "C:\\b.txt"}},
        {"ListAfterAGap", dropHeader(24, 0) + "gap!" + ansi, true, false, true, {"C:\\a.txt", "C:\\b.txt"}},
        {"SpareBytesAfterTheList", dropHeader(20, 0) + ansi + "junk", true, false, true, {"C:\\a.txt", "C:\\b.txt"}},
        {"EmptyList", dropHeader(20, 0) + std::string(1, '\0'), true, false, true, {}},
        {"ListOffsetZeroMeansNoList", dropHeader(0, 1), true, true, false, {}},
        {"ShorterThanTheHeader", dropHeader(20, 0).substr(0, 19), false, false, false, {}},
        {"ListOffsetPastTheEnd", dropHeader(200, 0) + ansi, false, false, false, {}},
        {"ListOffsetAtTheEnd", dropHeader(20, 0), false, false, false, {}},
        {"ListOffsetInsideTheHeader", dropHeader(4, 0) + ansi, false, false, false, {}},
        {"AnsiListNotEnded", dropHeader(20, 0) + ansi.substr(0, ansi.size() - 1), false, false, false, {}},
        {"LastNameNotEnded", dropHeader(20, 0) + "C:\\a.txt", false, false, false, {}},
        {"WideListNotEnded", dropHeader(20, 1) + wide.substr(0, wide.size() - 2), false, false, false, {}},
        {"WideListHalfAUnitShort", dropHeader(20, 1) + wide.substr(0, wide.size() - 1), false, false, false, {}},
        {"WideListAtAnOddOffset", dropHeader(21, 1) + "x" + wide, false, false, false, {}},
    };
}

template <typename C>
std::vector<std::string> itemsOf(const C* list) {
    std::vector<std::string> items;
    for (const C* p = list; p && *p;) {
        std::string item;
        for (; *p; ++p) item += static_cast<char>(*p);
        items.push_back(item);
        ++p;
    }
    return items;
}

TEST(ReadDroppedFiles, FindsTheListOnlyInsideTheBlock) {
    for (const BlockCase& c : blockCases()) {
        // Copied into a buffer of exactly the block's size, aligned as global
        // memory is, so that ASan sees any read past its end.
        std::unique_ptr<char[]> exact(new char[c.block.size() ? c.block.size() : 1]);
        std::memcpy(exact.get(), c.block.data(), c.block.size());
        DroppedFiles drop = {};
        bool readable = readDroppedFiles(exact.get(), c.block.size(), &drop);
        EXPECT_EQ(readable, c.readable) << c.label;
        if (!readable || !c.readable) continue;
        EXPECT_EQ(drop.wide, c.wide) << c.label;
        if (c.wide) {
            EXPECT_EQ(drop.names, nullptr) << c.label;
            EXPECT_EQ(itemsOf(drop.namesW), c.names) << c.label;
        } else {
            EXPECT_EQ(drop.namesW, nullptr) << c.label;
            EXPECT_EQ(itemsOf(drop.names), c.names) << c.label;
        }
        EXPECT_EQ(drop.names != nullptr || drop.namesW != nullptr, c.hasList) << c.label;
    }
    DroppedFiles drop;
    EXPECT_FALSE(readDroppedFiles(nullptr, 0, &drop));
}

}  // namespace
