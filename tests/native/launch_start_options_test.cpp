// The start options member and the name list file: which lines ask for the
// file, and the records the Java program reads back from it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "TextTestSupport.h"
#include "launch/StartOptions.h"

namespace {

struct OptionsCase {
    const char* label;
    std::string text;
    bool hasOptions;
    bool namesInListFile;
};

const OptionsCase kOptionsCases[] = {
    {"KeyWithTrue", "org.morvane.start.filenames=true\n", true, true},
    {"AnyValueSwitchesItOnEvenFalse", "org.morvane.start.filenames=false\n", true, true},
    {"EmptyValue", "org.morvane.start.filenames=", true, true},
    {"LastLineWithoutLineEnd", "a=1\r\nb=2\rorg.morvane.start.filenames=yes", true, true},
    {"AmongOtherLines", "\n\nother=1\r\n\r\norg.morvane.start.filenames=1\n# more\n", true, true},
    {"LeadingBlank", " org.morvane.start.filenames=true\n", true, false},
    {"OtherLetterCase", "Org.Morvane.Start.Filenames=true\n", true, false},
    {"KeyWithoutEquals", "org.morvane.start.filenames\n", true, false},
    {"BlankBeforeEquals", "org.morvane.start.filenames =true\n", true, false},
    {"CommentedOut", "#org.morvane.start.filenames=true\n", true, false},
    {"EscapedLineBreakDoesNotStartALine", "other=1\\norg.morvane.start.filenames=true\n", true, false},
    {"ByteOrderMarkHidesTheFirstLine", "\xEF\xBB\xBForg.morvane.start.filenames=true\n", true, false},
    {"ByteOrderMarkLeavesLaterLines", "\xEF\xBB\xBF# x\norg.morvane.start.filenames=true\n", true, true},
    {"NothingAfterANulByte", std::string("a=1\n\0org.morvane.start.filenames=true\n", 38), true, false},
    {"OnlyLineEnds", "\r\n\r\n", true, false},
    {"EmptyMember", "", false, false},
};

TEST(ParseStartOptions, OnlyALineBeginningWithTheKeyAsksForTheListFile) {
    for (const OptionsCase& c : kOptionsCases) {
        StartOptions options = {true, 0};
        bool has = parseStartOptions(c.text.data(), c.text.size(), &options);
        EXPECT_EQ(has, c.hasOptions) << c.label;
        if (has) { EXPECT_EQ(options.namesInListFile, c.namesInListFile) << c.label; }
        if (has) { EXPECT_EQ(options.listFileLine >= 0, c.namesInListFile) << c.label; }
    }
    // The line is counted among the non-empty lines, from 0.
    StartOptions options = {};
    const std::string text = kOptionsCases[4].text;
    ASSERT_TRUE(parseStartOptions(text.data(), text.size(), &options));
    EXPECT_EQ(options.listFileLine, 1);
}

TEST(ParseStartOptions, NoMemoryLeavesTheOptionsOffAndLeaksNothing) {
    const std::string text = "a=1\norg.morvane.start.filenames=true\n";
    long run = 0;
    long points = sweepAllocationFailures([&] {
        ++run;
        StartOptions options = {true, 0};
        bool has = parseStartOptions(text.data(), text.size(), &options);
        bool failureReached = allocationCount() >= run;
        return has && options.namesInListFile == !failureReached;
    });
    EXPECT_GT(points, 0);
}

struct ArchiveCase {
    const char* jar;
    bool hasOptions;
    bool namesInListFile;
};

const ArchiveCase kArchiveCases[] = {
    {"options-true.jar", true, true},          {"options-false.jar", true, true},
    {"options-last-line.jar", true, true},     {"options-blank-first.jar", true, false},
    {"options-other-case.jar", true, false},   {"options-escaped-break.jar", true, false},
    {"options-empty.jar", false, false},       {"options-absent.jar", false, false},
    {"lister.jar", true, true},                {"hello.jar", true, false},
    {"no-such-archive.jar", false, false},
};

TEST(ReadStartOptions, ArchivesMadeByJarZipAndZipfile) {
    for (const ArchiveCase& c : kArchiveCases) {
        StartOptions options = {false, 0};
        bool has = readStartOptions(fixturePath(std::string("drop/") + c.jar).c_str(), &options);
        EXPECT_EQ(has, c.hasOptions) << c.jar;
        if (has) { EXPECT_EQ(options.namesInListFile, c.namesInListFile) << c.jar; }
    }
}

// ---- the name list file -------------------------------------------------------

WString wideList(const std::vector<WString>& names) {
    WString list;
    for (const auto& n : names) list += n + WChar(0);
    return list + WChar(0);
}

// What writeNameList puts into a fresh file, and its result.
std::string writtenBytes(const WChar* names, bool* complete) {
    FILE* f = tmpfile();
    if (!f) return "no tmpfile";
    *complete = writeNameList(f, names);
    std::string bytes;
    rewind(f);
    for (int c; (c = fgetc(f)) != EOF;) bytes += static_cast<char>(c);
    fclose(f);
    return bytes;
}

struct ListCase {
    const char* label;
    std::vector<WString> names;
    const char* hex;
    bool complete;
};

const ListCase kListCases[] = {
    {"TwoFilesGive28Bytes",
     {u"C:\\a.txt", u"C:\\b.txt"},
     "00 00 00 08 43 3A 5C 61 2E 74 78 74 00 00 00 08 43 3A 5C 62 2E 74 78 74 00 00 00 00",
     true},
    {"LengthCountsUtf8Bytes",
     {u"C:\\\u00FC\u20AC\xD83D\xDE00"},
     "00 00 00 0C 43 3A 5C C3 BC E2 82 AC F0 9F 98 80 00 00 00 00",
     true},
    {"DriveRootStaysAsDropped", {u"C:\\"}, "00 00 00 03 43 3A 5C 00 00 00 00", true},
    {"ListWithoutNamesGetsNoEndRecord", {}, "", false},
    {"UnencodableNameEndsTheFileWithoutEndRecord",
     {u"C:\\a", WString(u"C:\\") + WChar(0xD800), u"C:\\c"},
     "00 00 00 04 43 3A 5C 61",
     false},
};

TEST(WriteNameList, RecordsInDropOrderThenTheEndRecord) {
    for (const ListCase& c : kListCases) {
        WString list = wideList(c.names);
        bool complete = !c.complete;
        EXPECT_EQ(hexBytes(writtenBytes(list.c_str(), &complete)), c.hex) << c.label;
        EXPECT_EQ(complete, c.complete) << c.label;
    }
    bool complete = true;
    EXPECT_EQ(writtenBytes(nullptr, &complete), "") << "no list (offset 0) writes nothing";
    EXPECT_FALSE(complete);
}

TEST(WriteNameList, FailedWriteGivesNoEndRecord) {
    // A stream that takes no bytes, as a file that could not be written.
    FILE* readOnly = fopen("/dev/null", "rb");
    ASSERT_NE(readOnly, nullptr);
    WString list = wideList({u"C:\\a.txt"});
    EXPECT_FALSE(writeNameList(readOnly, list.c_str()));
    fclose(readOnly);
}

TEST(WriteNameList, NoMemoryEndsTheFileWithoutEndRecordAndLeaksNothing) {
    WString list = wideList({u"C:\\a.txt", u"C:\\b.txt"});
    long run = 0;
    long points = sweepAllocationFailures([&] {
        ++run;
        bool complete = false;
        std::string bytes = writtenBytes(list.c_str(), &complete);
        bool failureReached = allocationCount() >= run;
        if (failureReached) return !complete && (bytes.size() < 4 || bytes.substr(bytes.size() - 4) != std::string(4, '\0'));
        return complete && bytes.size() == 28;
    });
    EXPECT_GT(points, 0);
}

}  // namespace
