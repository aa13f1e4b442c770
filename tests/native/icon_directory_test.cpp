// Checking an archive's icon file, choosing the entry for a size and depth,
// locating its image, planning the platform call, and splitting the
// configured icon location.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "icon/IconDirectory.h"
#include "icon/IconLocation.h"
#include "icon/PngLayout.h"

namespace {

struct Entry {
    uint8_t width;
    uint16_t planes;
    uint16_t bitCount;
    uint32_t imageSize = 0;
    uint32_t imageOffset = 0;
};

void put16(std::string& s, uint16_t v) { s += char(v & 0xFF), s += char(v >> 8); }
void put32(std::string& s, uint32_t v) { put16(s, uint16_t(v)), put16(s, uint16_t(v >> 16)); }

// An icon file with the given entries followed by tail zero bytes; count
// overrides the entry count the header announces.
std::string iconFile(const std::vector<Entry>& entries, size_t tail = 16, uint16_t type = 1, int count = -1) {
    std::string s;
    put16(s, 0);
    put16(s, type);
    put16(s, uint16_t(count < 0 ? entries.size() : size_t(count)));
    for (const Entry& e : entries) {
        s += char(e.width), s += char(e.width), s += '\0', s += '\0';
        put16(s, e.planes);
        put16(s, e.bitCount);
        put32(s, e.imageSize);
        put32(s, e.imageOffset);
    }
    return s + std::string(tail, '\0');
}

IconDirectory checked(const std::string& file) {
    IconDirectory d = {};
    EXPECT_TRUE(checkIconDirectory(file.data(), uint32_t(file.size()), &d));
    return d;
}

TEST(IconDirectory, CheckAcceptsOnlyIconFilesWithRoomForEveryEntryAndSixteenMore) {
    struct Case {
        const char* name;
        std::string file;
        bool ok;
    };
    const Entry one = {32, 1, 32};
    std::string reservedSet = iconFile({one});
    reservedSet[0] = '\x7F';
    const Case cases[] = {
        {"OneEntryAndSixteenSpare", iconFile({one}), true},
        {"ExactlyTwentyTwoPlusSixteenPerEntry", iconFile({one, one, one}), true},
        {"OneByteShortOfTheSpare", iconFile({one, one, one}, 15), false},
        {"SixPlusSixteenPerEntryIsNotEnough", iconFile({one}, 0), false},
        {"ShorterThanTwentyTwo", iconFile({}, 15, 1, 1), false},
        {"CursorFile", iconFile({one}, 16, 2), false},
        {"TypeZero", iconFile({one}, 16, 0), false},
        {"NoEntries", iconFile({}, 16, 1, 0), false},
        {"CountBeyondTheMember", iconFile({one, one}, 16, 1, 3), false},
        {"HighestCountShortMember", iconFile({one}, 4000, 1, 0xFFFF), false},
        {"ReservedWordIgnored", reservedSet, true},
    };
    for (const Case& c : cases) {
        // A copy of exactly the file's size, so reading one byte beyond is seen.
        std::vector<uint8_t> bytes(c.file.begin(), c.file.end());
        IconDirectory d = {};
        EXPECT_EQ(checkIconDirectory(bytes.data(), uint32_t(bytes.size()), &d), c.ok) << c.name;
        if (c.ok) { EXPECT_EQ(d.count, uint32_t(c.file[4] | c.file[5] << 8)) << c.name; }
    }
    IconDirectory d = {};
    EXPECT_FALSE(checkIconDirectory(nullptr, 0, &d));
}

TEST(IconDirectory, ChoiceFollowsWidthThenDepth) {
    struct Case {
        const char* name;
        std::vector<Entry> entries;
        uint32_t size;
        uint32_t depth;
        int expected;
    };
    const Case cases[] = {
        {"SingleEntryWhateverItIs", {{48, 1, 4}}, 16, 32, 0},
        {"ExactWidthSmall", {{32, 1, 32}, {16, 1, 32}}, 16, 32, 1},
        {"ExactWidthLarge", {{32, 1, 32}, {16, 1, 32}}, 32, 32, 0},
        {"TieOnWidthLowerIndexWins", {{32, 1, 8}, {16, 1, 8}}, 24, 32, 0},
        {"WidthByteZeroIsZeroNot256", {{0, 1, 32}, {32, 1, 32}}, 48, 32, 1},
        {"SizeZeroTakesWidthByteZero", {{16, 1, 32}, {0, 1, 4}, {32, 1, 32}}, 0, 32, 1},
        {"SizeZeroTakesNarrowest", {{32, 1, 32}, {16, 1, 8}, {48, 1, 32}}, 0, 32, 1},
        {"WidthBeatsDepth", {{16, 1, 32}, {32, 1, 4}}, 32, 32, 1},
        {"ExactDepth32", {{32, 1, 4}, {32, 1, 8}, {32, 1, 32}}, 32, 32, 2},
        {"BelowBeatsAbove24", {{32, 1, 4}, {32, 1, 8}, {32, 1, 32}}, 32, 24, 1},
        {"ShallowestAbove", {{32, 1, 48}, {32, 1, 32}}, 32, 24, 1},
        {"DeepestBelow", {{32, 1, 1}, {32, 1, 16}, {32, 1, 8}}, 32, 24, 1},
        {"FirstExactDepthWins", {{32, 1, 8}, {32, 1, 24}, {32, 1, 24}}, 32, 24, 1},
        {"EqualDepthsKeepLowerIndex", {{32, 1, 8}, {32, 1, 8}}, 32, 32, 0},
        {"DepthZeroTies", {{16, 1, 32}, {32, 0, 0}, {32, 0, 0}}, 32, 32, 1},
        {"DepthIsPlanesTimesBitCount", {{32, 1, 16}, {32, 4, 8}, {32, 2, 8}}, 32, 32, 1},
        {"NonCandidatesIgnoredInDepthStep", {{16, 1, 32}, {32, 1, 4}, {48, 1, 32}, {32, 1, 8}}, 32, 32, 3},
    };
    for (const Case& c : cases) {
        std::string file = iconFile(c.entries);
        EXPECT_EQ(chooseIconEntry(checked(file), c.size, c.depth), c.expected) << c.name;
    }
}

// The outcome of the choice, stated as a whole rather than as the walk: among
// the entries nearest in width, the first of exactly the wanted depth; else
// the deepest below it; else the shallowest above it; first index on ties.
int expectedChoice(const std::vector<Entry>& entries, uint32_t size, uint32_t depth) {
    long best = -1;
    for (const Entry& e : entries) {
        long d = std::labs(long(size) - long(e.width));
        if (best < 0 || d < best) best = d;
    }
    int exact = -1, below = -1, above = -1;
    for (size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        if (std::labs(long(size) - long(e.width)) != best) continue;
        uint32_t b = uint32_t(e.planes) * e.bitCount;
        auto depthOf = [&](int j) { return uint32_t(entries[size_t(j)].planes) * entries[size_t(j)].bitCount; };
        if (b == depth && exact < 0) exact = int(i);
        if (b < depth && (below < 0 || b > depthOf(below))) below = int(i);
        if (b > depth && (above < 0 || b < depthOf(above))) above = int(i);
    }
    return exact >= 0 ? exact : below >= 0 ? below : above;
}

TEST(IconDirectory, ChoiceAgreesWithItsOutcomeOnRandomDirectories) {
    std::mt19937 random(20240611);
    const uint8_t widths[] = {0, 16, 24, 32, 48, 255};
    const uint16_t bits[] = {0, 1, 4, 8, 16, 24, 32};
    for (int round = 0; round < 5000; ++round) {
        std::vector<Entry> entries(1 + random() % 7);
        for (Entry& e : entries)
            e = {widths[random() % 6], uint16_t(random() % 3), bits[random() % 7]};
        uint32_t size = widths[random() % 6] + uint32_t(random() % 3) * 4;
        uint32_t depth = random() % 2 ? 32 : 24;
        std::string file = iconFile(entries);
        ASSERT_EQ(chooseIconEntry(checked(file), size, depth), expectedChoice(entries, size, depth))
            << "round " << round;
    }
}

TEST(IconDirectory, ImageMustLieWhollyInsideTheMember) {
    struct Case {
        const char* name;
        uint32_t size;
        uint32_t offset;
        int index;
        bool ok;
    };
    // Two entries (38 bytes of directory) and 62 spare bytes: a 100-byte member.
    const Case cases[] = {
        {"EndsAtTheLastByte", 62, 38, 0, true},
        {"OneBytePastTheEnd", 63, 38, 0, false},
        {"EmptyImageAtTheEnd", 0, 100, 0, true},
        {"StartsPastTheEnd", 0, 101, 0, false},
        {"SumWouldOverflow", 0x20, 0xFFFFFFF0u, 0, false},
        {"CountNearFourGigabytes", 0xFFFFFFFFu, 1, 0, false},
        {"NegativeIndex", 10, 38, -1, false},
        {"IndexEqualsCount", 10, 38, 2, false},
        {"SecondEntry", 10, 90, 1, true},
    };
    for (const Case& c : cases) {
        std::string file = iconFile({{32, 1, 32, c.size, c.offset}, {16, 1, 32, c.size, c.offset}}, 62);
        ASSERT_EQ(file.size(), 100u);
        std::vector<uint8_t> bytes(file.begin(), file.end());
        IconImage image = {};
        EXPECT_EQ(locateIconImage(bytes.data(), uint32_t(bytes.size()), c.index, &image), c.ok) << c.name;
        if (c.ok) {
            EXPECT_EQ(image.bits, bytes.data() + c.offset) << c.name;
            EXPECT_EQ(image.size, c.size) << c.name;
        }
    }
    // An entry index the header announces but the member does not hold.
    std::string shortFile = iconFile({{32, 1, 32, 0, 0}}, 0, 1, 3);
    IconImage image = {};
    EXPECT_FALSE(locateIconImage(shortFile.data(), uint32_t(shortFile.size()), 2, &image));
}

std::string bitmapHeader(int32_t width, int32_t height, uint16_t bitCount) {
    std::string s;
    put32(s, 40);
    put32(s, uint32_t(width));
    put32(s, uint32_t(height));
    put16(s, 1);
    put16(s, bitCount);
    return s + std::string(24, '\0');
}

// The whole image as an icon file holds it: header, colour table up to 8 bits
// per pixel, then colour rows and mask rows padded to four bytes each.
std::string bitmapImage(int32_t width, int32_t height, uint16_t bitCount) {
    size_t w = size_t(std::labs(width)), rows = size_t(std::labs(height) / 2);
    size_t table = bitCount <= 8 ? size_t(4) << bitCount : 0;
    size_t pixels = ((w * bitCount + 31) / 32 * 4 + (w + 31) / 32 * 4) * rows;
    return bitmapHeader(width, height, bitCount) + std::string(table + pixels, '\0');
}

TEST(IconDirectory, PlanTakesTheImagesOwnSizeAndGuardsAgainstNonSizes) {
    struct Case {
        const char* name;
        std::string image;
        bool usable;
        int32_t width;
        int32_t height;
        bool secondAttempt;
    };
    const std::string png =
        std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x30\0\0\0\x30\x08\x06\0\0\0", 29) + std::string(24, '\0');
    std::string paletteClaim = bitmapImage(16, 32, 4);
    paletteClaim[32] = '\x11';  // biClrUsed: 17 colours in a table that has room for 16
    const std::string full = bitmapImage(32, 64, 32);
    const Case cases[] = {
        {"Bitmap32", full, true, 32, 32, true},
        {"HeightIsHalfOfBiHeight", bitmapImage(48, 96, 8), true, 48, 48, true},
        {"OddBiHeightTruncates", bitmapImage(16, 33, 4), true, 16, 16, true},
        {"Largest", bitmapImage(256, 512, 32), true, 256, 256, true},
        {"SixteenBitGetsNoSecondAttempt", bitmapImage(16, 32, 16), true, 16, 16, false},
        {"PngIsItsOwnSize", png, true, 0, 0, true},
        {"WidthZero", bitmapImage(0, 64, 32), true, 0, 0, true},
        {"WidthBeyond256", bitmapImage(257, 64, 32), true, 0, 0, true},
        {"HeightBeyond256", bitmapImage(32, 514, 32), true, 0, 0, true},
        {"HeightUnderOne", bitmapImage(32, 1, 32), true, 0, 0, true},
        {"TopDownNegativeHeight", bitmapImage(32, -64, 32), true, 0, 0, true},
        {"ThirtyNineBytes", full.substr(0, 39), false, 0, 0, false},
        {"Empty", std::string(), false, 0, 0, false},
        // The platform reads what the header claims: a claim beyond the image's bytes gives no icon.
        {"MaskOneByteShort", full.substr(0, full.size() - 1), false, 0, 0, false},
        {"ColourTableMissing", bitmapImage(16, 32, 8).substr(0, 40 + 16 * (16 + 4)), false, 0, 0, false},
        {"ColoursUsedBeyondTheTable", paletteClaim, false, 0, 0, false},
        {"HugeWidth", bitmapHeader(0x7FFFFFFF, 64, 32), false, 0, 0, false},
        {"MinimumHeight", bitmapHeader(32, INT32_MIN, 32), false, 0, 0, false},
    };
    for (const Case& c : cases) {
        // Aligned: a vector's storage comes from the allocator.
        std::vector<uint8_t> bytes(c.image.begin(), c.image.end());
        IconCreation plan = {-1, -1, false, true};
        bool usable = planIconCreation(IconImage{bytes.data(), uint32_t(bytes.size())}, &plan);
        EXPECT_EQ(usable, c.usable) << c.name;
        if (!usable) continue;
        EXPECT_EQ(plan.desiredWidth, c.width) << c.name;
        EXPECT_EQ(plan.desiredHeight, c.height) << c.name;
        EXPECT_EQ(plan.secondAttempt, c.secondAttempt) << c.name;
        EXPECT_FALSE(plan.needsAlignedCopy) << c.name;
    }
}

TEST(IconDirectory, EntryFieldsAsTheFileStatesThem) {
    std::string file = iconFile({{48, 1, 32, 10, 60}, {0, 2, 4, 7, 9}});
    IconDirectory d = checked(file);
    IconEntry e = {};
    ASSERT_TRUE(readIconEntry(d, 0, &e));
    EXPECT_EQ(e.width, 48);
    EXPECT_EQ(e.height, 48);
    EXPECT_EQ(e.depth, 32u);
    EXPECT_EQ(e.imageSize, 10u);
    EXPECT_EQ(e.imageOffset, 60u);
    ASSERT_TRUE(readIconEntry(d, 1, &e));
    EXPECT_EQ(e.width, 0);
    EXPECT_EQ(e.planes * e.bitCount, 8);
    EXPECT_EQ(e.depth, 8u);
    EXPECT_FALSE(readIconEntry(d, 2, &e));
}

TEST(IconDirectory, ImageSizeIsTheBitmapsOrThePngsOwn) {
    auto png = [](uint32_t side, size_t tail) {
        std::string s("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
        s += char(side >> 24), s += char(side >> 16), s += char(side >> 8), s += char(side);
        s += s.substr(16, 4);
        return s + std::string(tail, '\0');
    };
    auto with = [](std::string s, size_t at, const std::string& bytes) { return s.replace(at, bytes.size(), bytes); };
    const struct {
        const char* name;
        std::string image;
        bool png;
        int32_t side;       // 0: no size an icon can have
        uint32_t pngSide;   // what pngDimensions reads, 0: no PNG header
    } cases[] = {
        {"Bitmap", bitmapImage(32, 64, 32), false, 32, 0},
        {"Png", png(48, 40), true, 48, 48},
        {"Png256", png(256, 40), true, 256, 256},
        {"PngTooWide", png(300, 40), true, 0, 300},
        {"PngTooShortToUse", png(48, 4), true, 0, 0},
        {"PngHeaderAndCrcOnly", png(48, 9), true, 0, 48},
        {"PngLargestSide", png(0x7fffffff, 40), true, 0, 0x7fffffff},
        {"PngSideBeyondPngs", png(0x80000000, 40), true, 0, 0},
        {"PngSideZero", png(0, 40), true, 0, 0},
        {"PngSignatureBroken", with(png(48, 40), 7, "\x0b"), true, 48, 0},
        {"PngFirstChunkNotHeader", with(png(48, 40), 12, "IDAT"), true, 48, 0},
        {"PngHeaderLength14", with(png(48, 40), 11, "\x0e"), true, 48, 0},
        {"BitmapTooWide", bitmapImage(300, 600, 32), false, 0, 0},
        {"BitmapTooShort", bitmapHeader(32, 64, 32).substr(0, 39), false, 0, 0},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> bytes(c.image.begin(), c.image.end());
        IconImage image = {bytes.data(), uint32_t(bytes.size())};
        EXPECT_EQ(isPngImage(image), c.png) << c.name;
        int32_t width = 0, height = 0;
        EXPECT_EQ(iconImageSize(image, &width, &height), c.side != 0) << c.name;
        EXPECT_EQ(width, c.side) << c.name;
        EXPECT_EQ(height, c.side) << c.name;
        uint32_t pngWidth = 0, pngHeight = 0;
        EXPECT_EQ(pngDimensions(bytes.data(), bytes.size(), &pngWidth, &pngHeight), c.pngSide != 0) << c.name;
        EXPECT_EQ(pngWidth, c.pngSide) << c.name;
        EXPECT_EQ(pngHeight, c.pngSide) << c.name;
    }
}

TEST(IconDirectory, PlanAsksForACopyOnlyOffAFourByteBoundary) {
    std::string header = bitmapImage(16, 32, 32);
    std::vector<uint32_t> storage(header.size() / 4 + 2);  // four-byte aligned
    for (unsigned shift = 0; shift < 8; ++shift) {
        uint8_t* at = reinterpret_cast<uint8_t*>(storage.data()) + shift;
        memcpy(at, header.data(), header.size());
        IconCreation plan = {};
        ASSERT_TRUE(planIconCreation(IconImage{at, uint32_t(header.size())}, &plan));
        EXPECT_EQ(plan.needsAlignedCopy, shift % 4 != 0) << "shift " << shift;
        EXPECT_EQ(plan.desiredWidth, 16);
    }
}

TEST(IconDirectory, WantedDepthComparesTheVersionAsAPair) {
    struct Case {
        uint32_t major, minor, depth;
    } cases[] = {{4, 10, 24}, {5, 0, 24}, {5, 1, 32}, {5, 2, 32}, {6, 0, 32}, {6, 1, 32}, {6, 3, 32}, {10, 0, 32}};
    for (const Case& c : cases)
        EXPECT_EQ(wantedColourDepth(c.major, c.minor), c.depth) << c.major << "." << c.minor;
}

TEST(IconLocation, SplitsAtTheLastCommaAndReadsTheIndexLikeAtoi) {
    struct Case {
        const char* location;
        const char* file;
        int index;
    } cases[] = {
        {"C:\\Tools\\icons.dll,-3", "C:\\Tools\\icons.dll", -3},
        {"a,b,2", "a,b", 2},
        {"x.exe, 5", "x.exe", 5},
        {"x.exe,\t\n+7", "x.exe", 7},
        {"x.exe", "x.exe", 0},
        {"x.exe,", "x.exe", 0},
        {"x.exe,abc", "x.exe", 0},
        {"x.exe,12abc", "x.exe", 12},
        {"x.exe,- 4", "x.exe", 0},
        {"x.exe,99999999999999999999", "x.exe", 2147483647},
        {"x.exe,-99999999999999999999", "x.exe", -2147483647 - 1},
        {"", "", 0},
        {",4", "", 4},
        {"shell32.dll,3", "shell32.dll", 3},
    };
    for (const Case& c : cases) {
        std::string text = c.location;
        text += '\0';
        EXPECT_EQ(splitIconLocation(&text[0]), c.index) << c.location;
        EXPECT_STREQ(text.c_str(), c.file) << c.location;
    }
}

}  // namespace
