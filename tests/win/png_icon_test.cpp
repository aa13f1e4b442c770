// Icons made from PNG images by the platform's decoder, pixel by pixel against
// tests/fixtures/make_pngs.py's own area-averaging scale of the same image,
// and the images whose bounds give no icon; on a thread without COM, in a
// single-threaded and in a multithreaded apartment.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "icon/ArchiveIcons.h"
#include "icon/PngIcon.h"
#include "win/WinTestSupport.h"

namespace {

// Differences allowed between the icon drawn and the reference, in
// premultiplied RGBA: per channel, and on average over the whole icon. Wine's
// scaler takes the nearest pixel in every mode, which is up to 20 off the
// area average where alpha falls off fast at 16 pixels (7.7 on average);
// Windows averages the area. Either is far from a flipped, shifted,
// channel-swapped or still premultiplied icon.
constexpr int kTolerance = 24;
constexpr double kMeanTolerance = 10;

std::string readFixture(const std::string& name) {
    std::ifstream in(fixturePath("pngs/" + name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The icon drawn over black and over white, as premultiplied RGBA rows: over
// black the colour is the premultiplied colour, and white shows 255 - alpha
// more of itself.
std::string drawnPixels(HICON icon, int size) {
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(info.bmiHeader), size, -size, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::string rgba(size_t(size) * size * 4, '\0');
    HDC dc = CreateCompatibleDC(nullptr);
    for (int background : {0, 255}) {
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = SelectObject(dc, bitmap);
        memset(bits, background, size_t(size) * size * 4);
        DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
        GdiFlush();
        const uint8_t* bgra = static_cast<const uint8_t*>(bits);
        for (size_t i = 0; i < size_t(size) * size; ++i) {
            if (background == 0) {
                rgba[i * 4] = char(bgra[i * 4 + 2]), rgba[i * 4 + 1] = char(bgra[i * 4 + 1]);
                rgba[i * 4 + 2] = char(bgra[i * 4]);
            } else {
                rgba[i * 4 + 3] = char(255 - (bgra[i * 4 + 1] - uint8_t(rgba[i * 4 + 1])));
            }
        }
        SelectObject(dc, old);
        DeleteObject(bitmap);
    }
    DeleteDC(dc);
    return rgba;
}

// The first pixel whose channels differ by more than the tolerance, or the
// mean difference when that is too large.
std::string compare(const std::string& got, const std::string& want, int size) {
    if (got.size() != want.size()) return "sizes differ";
    double total = 0;
    for (size_t i = 0; i < got.size(); ++i) {
        int d = std::abs(int(uint8_t(got[i])) - int(uint8_t(want[i])));
        total += d;
        if (d > kTolerance)
            return "pixel (" + std::to_string(i / 4 % size) + "," + std::to_string(i / 4 / size) + ") channel " +
                   std::to_string(i % 4) + ": " + std::to_string(uint8_t(got[i])) + ", wanted " +
                   std::to_string(uint8_t(want[i]));
    }
    if (total / double(got.size()) > kMeanTolerance) return "mean difference " + std::to_string(total / double(got.size()));
    return "";
}

struct Case {
    const char* png;
    UINT size;
    bool icon;  // true: compared with pngs/<png>.<size>.ref
} const cases[] = {
    {"gradient", 16, true},         {"gradient", 32, true},      {"gradient", 48, true},
    {"gradient", 256, true},        {"wide", 32, true},          {"wide", 48, true},
    {"tall", 48, true},             {"grey", 32, true},          {"largest", 32, true},
    {"gradient", 0, false},         {"gradient", 1025, false},   {"toowide", 32, false},
    {"justtoowide", 32, false},     {"sidetoolarge", 32, false}, {"headertoolarge", 32, false},
    {"toomanybytes", 32, false},    {"truncated", 32, false},    {"notpng", 32, false},
};

void checkAll(const char* where) {
    for (const Case& c : cases) {
        std::string name = std::string(c.png) + " at " + std::to_string(c.size) + ", " + where;
        std::string png = readFixture(std::string(c.png) + ".png");
        ASSERT_FALSE(png.empty()) << name;
        IconHandle icon(createIconFromPng(png.data(), png.size(), c.size, c.size));
        ASSERT_EQ(bool(icon), c.icon) << name;
        if (!c.icon) continue;
        std::string want = readFixture(std::string(c.png) + "." + std::to_string(c.size) + ".ref");
        EXPECT_EQ(compare(drawnPixels(icon.get(), int(c.size)), want, int(c.size)), "") << name;
    }
}

TEST(PngIcon, MatchesTheReferenceScaleOrGivesNoIconWhateverTheThreadsCom) {
    checkAll("no COM");
    {
        OleApartment apartment;
        checkAll("single-threaded apartment");
    }
    // Each call left COM as it found it, so the thread can enter the other kind.
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    checkAll("multithreaded apartment");
    CoUninitialize();
}

}  // namespace
