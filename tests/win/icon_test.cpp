// The icon handler as the shell drives it: which entry of the archive's icon
// file becomes the small and the large icon, the configured fallback, the
// module's own icon, the three log lines, and no handle left behind.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "diag/Config.h"
#include "icon/ArchiveIcons.h"
#include "icon/IconDirectory.h"
#include "win/IconTestSupport.h"
#include "win/WinTestSupport.h"

namespace {

using namespace fixtureColour;

std::string iconJar(const char* name) { return fixturePath(std::string("icons/") + name + ".jar"); }
std::string stage2Icon() { return fixturePath("icons/dir,with,commas/stage2.ico"); }

UINT sizes(UINT large, UINT small) { return MAKELONG(large, small); }

::testing::AssertionResult looksLike(HICON icon, int size, COLORREF colour) {
    IconPixels p = readIconPixels(icon);
    if (p.valid && p.width == size && p.height == size && p.centre() == colour)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "icon is " << describeIcon(icon) << ", wanted "
                                         << describeLook(size, colour);
}

::testing::AssertionResult samePixels(HICON a, HICON b) {
    IconPixels pa = readIconPixels(a), pb = readIconPixels(b);
    if (pa.valid && pa == pb) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << describeIcon(a) << " differs from " << describeIcon(b);
}

// Started again as a copy of itself under another system version, the
// program only reports what an icon file with 32- and 24-bit entries gives and
// exits: "major.minor large small" into the file named by MORVANE_ICON_PROBE.
const bool versionProbeRan = [] {
    const char* out = getenv("MORVANE_ICON_PROBE");
    if (!out) return false;
    OSVERSIONINFOA v = {};
    v.dwOSVersionInfoSize = sizeof(v);
    GetVersionExA(&v);
    std::string report = std::to_string(v.dwMajorVersion) + "." + std::to_string(v.dwMinorVersion);
    {
        OleApartment apartment;
        ExtractResult r = extractThroughShell(fixturePath("icons/bothdepths.jar"), MAKELONG(32, 16));
        report += " " + describeIcon(r.large.get()) + " " + describeIcon(r.small.get());
    }
    if (FILE* f = fopen(out, "wb")) {
        fputs(report.c_str(), f);
        fclose(f);
    }
    ExitProcess(0);
}();

class IconTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(dll().module(), nullptr);
        hadConfigKey_ = registryKeyExists(HKEY_CLASSES_ROOT, CONFIG_KEY_PATH);
        deleteConfigValue(CONFIG_DEFAULT_ICON);
        deleteConfigValue(CONFIG_DEBUG_LOG);
    }
    void TearDown() override {
        deleteConfigValue(CONFIG_DEFAULT_ICON);
        deleteConfigValue(CONFIG_DEBUG_LOG);
        if (!hadConfigKey_) deleteRegistryTree(HKEY_CLASSES_ROOT, CONFIG_KEY_PATH);
        deleteLogFile();
    }
    OleApartment apartment;
    bool hadConfigKey_ = false;
};

TEST_F(IconTest, ArchiveEntryIsChosenByWidthThenDepthAndKeepsItsOwnSize) {
    // Wine reports 6.1 unless told otherwise; the depths fixture knows both aims.
    const bool aim32 = runningDepth() == 32;
    struct Case {
        const char* jar;
        UINT large, small;
        int largeSize;
        COLORREF largeColour;
        int smallSize;
        COLORREF smallColour;
    };
    const Case cases[] = {
        {"one48", 32, 16, 48, olive, 48, olive},
        {"sizes", 32, 16, 32, red, 16, green},
        {"sizes", 48, 24, 48, blue, 32, red},  // 24 ties 16 and 32: the lower index, at its own size
        {"sizes", 16, 32, 16, green, 32, red},
        {"depths", 32, 16, 32, aim32 ? cyan : magenta, 16, aim32 ? purple : orange},
        {"png", 48, 16, 48, teal, 16, pink},
        {"unaligned", 32, 16, 32, navy, 16, brown},
        {"width0", 48, 0, 32, red, 256, lime},  // width byte 0 is width 0: only a request of 0 takes it
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.jar) + " " + std::to_string(c.large) + "," + std::to_string(c.small));
        ExtractResult r = extractThroughShell(iconJar(c.jar), sizes(c.large, c.small));
        EXPECT_EQ(r.hr, S_OK);
        EXPECT_TRUE(looksLike(r.large.get(), c.largeSize, c.largeColour));
        EXPECT_TRUE(looksLike(r.small.get(), c.smallSize, c.smallColour));
    }
}

TEST_F(IconTest, WantedDepthFollowsTheSystemVersion) {
    // Wine reports the version set for a program name under AppDefaults; a copy
    // of this program under a name of its own keeps the setting away from it.
    // The program carries a manifest for Windows 8.1 and 10, as Explorer does,
    // so it is told 6.3 and 10.0 where those are set.
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string dir(self, strrchr(self, '\\') + 1);
    const std::string probe = dir + "win_icon_version_probe.exe", report = dir + "win_icon_version_probe.txt";
    const std::string appKey = "Software\\Wine\\AppDefaults\\win_icon_version_probe.exe";
    ASSERT_TRUE(CopyFileA(self, probe.c_str(), FALSE));
    // 5.0 aims at 24 bits, 5.1 and every later version at 32.
    const std::string aim24 = " " + describeLook(32, magenta) + " " + describeLook(16, orange);
    const std::string aim32 = " " + describeLook(32, cyan) + " " + describeLook(16, purple);
    struct Case {
        const char* version;
        std::string expected;
    };
    const Case cases[] = {{"win2k", "5.0" + aim24}, {"winxp", "5.1" + aim32}, {"vista", "6.0" + aim32},
                          {"win81", "6.3" + aim32}, {"win10", "10.0" + aim32}};
    for (const Case& c : cases) {
        setRegistryString(HKEY_CURRENT_USER, appKey, "Version", c.version);
        DeleteFileA(report.c_str());
        SetEnvironmentVariableA("MORVANE_ICON_PROBE", report.c_str());
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi = {};
        std::string command = "\"" + probe + "\"";
        BOOL started = CreateProcessA(probe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(),
                                      &si, &pi);
        SetEnvironmentVariableA("MORVANE_ICON_PROBE", nullptr);
        ASSERT_TRUE(started);
        WaitForSingleObject(pi.hProcess, 60000);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        std::ifstream in(report);
        std::string got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(got, c.expected) << c.version;
    }
    deleteRegistryTree(HKEY_CURRENT_USER, appKey);
    DeleteFileA(report.c_str());
    DeleteFileA(probe.c_str());
}

TEST_F(IconTest, MalformedIconFilesGiveNoArchiveIcon) {
    const char* jars[] = {"type2",     "count0",    "short",    "dirlong", "pastend", "overflow",
                          "tinyimage", "cutimage",  "empty",    "noicon",  "missing"};
    for (const char* jar : jars) {
        HICON small = reinterpret_cast<HICON>(1), large = reinterpret_cast<HICON>(1);
        loadArchiveIcons(widen(iconJar(jar)).c_str(), 16, 16, 32, 32, 32, &small, &large);
        EXPECT_EQ(small, nullptr) << jar;
        EXPECT_EQ(large, nullptr) << jar;
        if (small) DestroyIcon(small);
        if (large) DestroyIcon(large);
    }
    // Through the handler such an archive shows the module's icon.
    ExtractResult r = extractThroughShell(iconJar("pastend"), sizes(32, 16));
    IconHandle module32 = loadModuleIconAt(32), module16 = loadModuleIconAt(16);
    EXPECT_TRUE(samePixels(r.large.get(), module32.get()));
    EXPECT_TRUE(samePixels(r.small.get(), module16.get()));
}

TEST_F(IconTest, ModuleIconComesAtTheRequestedSizes) {
    struct Case {
        std::string path;
        UINT large, small;
    };
    const Case cases[] = {
        {iconJar("noicon"), 32, 16}, {iconJar("noicon"), 48, 24}, {"", 32, 16}, {"Z:\\no\\such.jar", 20, 40}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.empty() ? "no path set" : c.path);
        ExtractResult r = extractThroughShell(c.path, sizes(c.large, c.small));
        EXPECT_EQ(r.hr, S_OK);
        IconHandle wantLarge = loadModuleIconAt(int(c.large)), wantSmall = loadModuleIconAt(int(c.small));
        EXPECT_EQ(readIconPixels(r.large.get()).width, int(c.large));
        EXPECT_EQ(readIconPixels(r.small.get()).width, int(c.small));
        EXPECT_TRUE(samePixels(r.large.get(), wantLarge.get()));
        EXPECT_TRUE(samePixels(r.small.get(), wantSmall.get()));
    }
}

TEST_F(IconTest, ConfiguredLocationFillsOnlyTheMissingIcons) {
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    const std::string fullShell32 = std::string(system) + "\\shell32.dll";
    const int systemLarge = GetSystemMetrics(SM_CXICON), systemSmall = GetSystemMetrics(SM_CXSMICON);

    // A plain icon file in a folder whose name has commas: split at the last one only.
    setConfigString(CONFIG_DEFAULT_ICON, stage2Icon() + ",0");
    ExtractResult r = extractThroughShell(iconJar("noicon"), sizes(48, 24));
    EXPECT_TRUE(looksLike(r.large.get(), systemLarge, pink)) << "the system's sizes, not the requested ones";
    EXPECT_TRUE(looksLike(r.small.get(), systemSmall, pink));

    // Stage 1 gave the large icon only: it is kept, and only the small one is asked for.
    setConfigString(CONFIG_DEFAULT_ICON, stage2Icon() + ",0");
    r = extractThroughShell(iconJar("halfbad"), sizes(32, 16));
    EXPECT_TRUE(looksLike(r.large.get(), 32, green));
    EXPECT_TRUE(looksLike(r.small.get(), systemSmall, pink));

    // Icons inside a system DLL, by index and by (negative) resource identifier.
    const struct {
        std::string location, file;
        int index;
    } dllCases[] = {{"shell32.dll,3", "shell32.dll", 3},
                    {fullShell32 + ", 4", fullShell32, 4},
                    {"shell32.dll,-4", "shell32.dll", -4}};
    for (const auto& c : dllCases) {
        SCOPED_TRACE(c.location);
        HICON wantLarge = nullptr, wantSmall = nullptr;
        ExtractIconExA(c.file.c_str(), c.index, &wantLarge, &wantSmall, 1);
        IconHandle ownLarge(wantLarge), ownSmall(wantSmall);
        ASSERT_TRUE(readIconPixels(wantLarge).valid) << "the system DLL holds this icon";
        setConfigString(CONFIG_DEFAULT_ICON, c.location);
        r = extractThroughShell(iconJar("noicon"), sizes(32, 16));
        EXPECT_TRUE(samePixels(r.large.get(), wantLarge));
        EXPECT_TRUE(samePixels(r.small.get(), wantSmall));
        IconHandle module32 = loadModuleIconAt(32);
        EXPECT_FALSE(samePixels(r.large.get(), module32.get())) << "not the module's icon";
    }

    // Locations that give nothing leave the module's icon to stage 3, also
    // where the system leaves stray values in the handle slots. The fixture's
    // path without an index is cut at the comma in its folder name.
    const std::string nothing[] = {"", "Z:\\no\\such.dll,0", "shell32.dll,9999", stage2Icon()};
    for (const std::string& location : nothing) {
        SCOPED_TRACE(location);
        setConfigString(CONFIG_DEFAULT_ICON, location);
        r = extractThroughShell(iconJar("noicon"), sizes(32, 16));
        IconHandle module32 = loadModuleIconAt(32), module16 = loadModuleIconAt(16);
        EXPECT_TRUE(samePixels(r.large.get(), module32.get()));
        EXPECT_TRUE(samePixels(r.small.get(), module16.get()));
    }
}

TEST_F(IconTest, SizeNotAskedForIsNeverWrittenNorMade) {
    setConfigString(CONFIG_DEFAULT_ICON, stage2Icon() + ",0");
    for (const char* jar : {"sizes", "halfbad", "noicon"}) {
        SCOPED_TRACE(jar);
        ExtractResult onlyLarge = extractThroughShell(iconJar(jar), sizes(32, 16), true, false);
        EXPECT_EQ(onlyLarge.hr, S_OK);
        EXPECT_TRUE(readIconPixels(onlyLarge.large.get()).valid);
        ExtractResult onlySmall = extractThroughShell(iconJar(jar), sizes(32, 16), false, true);
        EXPECT_EQ(onlySmall.hr, S_OK);
        EXPECT_TRUE(readIconPixels(onlySmall.small.get()).valid);
        EXPECT_EQ(extractThroughShell(iconJar(jar), sizes(32, 16), false, false).hr, S_OK);
    }
    HICON large = reinterpret_cast<HICON>(1);
    loadArchiveIcons(widen(iconJar("sizes")).c_str(), 16, 16, 32, 32, 32, nullptr, &large);
    IconHandle own(large);
    EXPECT_TRUE(looksLike(large, 32, red));
}

TEST_F(IconTest, GetIconLocationWritesOnlyTheFlags) {
    IExtractIconA* extract = nullptr;
    ASSERT_EQ(dll().createLoaded(iconJar("sizes"), IID_IExtractIconA, reinterpret_cast<void**>(&extract)), S_OK);
    char file[16] = "untouched";
    int index = 77;
    UINT flags = 0;
    EXPECT_EQ(extract->GetIconLocation(GIL_FORSHELL, file, sizeof(file), &index, &flags), S_OK);
    EXPECT_EQ(flags, 0x1Au);
    EXPECT_STREQ(file, "untouched");
    EXPECT_EQ(index, 77);
    extract->Release();
}

TEST_F(IconTest, EachStageLogsTheHandlesItLeaves) {
    setConfigString(CONFIG_DEBUG_LOG, "1");
    setConfigString(CONFIG_DEFAULT_ICON, stage2Icon() + ",0");
    auto handle = [](HICON h) {
        // The full pointer: every hexadecimal digit of its width, upper case.
        char text[2 * sizeof(void*) + 1];
        snprintf(text, sizeof(text), "%0*llX", int(2 * sizeof(void*)),
                 static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(h)));
        return std::string(text);
    };
    auto stageLine = [](int stage, const std::string& name, const std::string& sm, const std::string& large) {
        return "IExtractIcon::Extract. stage " + std::to_string(stage) + " name:\"" + name + "\"   sm:" + sm +
               ", large:" + large;
    };
    const std::string none = handle(nullptr);

    // Which handles each of the first two lines shows: S small, L large, - null.
    struct Case {
        const char* jar;
        bool configured;
        const char* stage1;
        const char* stage2;
    };
    const Case cases[] = {{"sizes", true, "SL", "SL"},
                          {"halfbad", true, "-L", "SL"},
                          {"noicon", true, "--", "SL"},
                          {"noicon", false, "--", "--"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.jar) + (c.configured ? " with DefaultIcon" : ""));
        if (!c.configured) deleteConfigValue(CONFIG_DEFAULT_ICON);
        deleteLogFile();
        const std::string path = iconJar(c.jar);
        ExtractResult r = extractThroughShell(path, sizes(32, 16));
        const std::string sm = handle(r.small.get()), large = handle(r.large.get());
        ASSERT_NE(sm, none);
        ASSERT_NE(large, none);
        auto shown = [&](const char* mask, int stage) {
            return stageLine(stage, path, mask[0] == 'S' ? sm : none, mask[1] == 'L' ? large : none);
        };
        std::vector<std::string> messages;
        for (const std::string& line : readLogLines()) messages.push_back(line.substr(line.rfind('\t') + 1));
        ASSERT_GE(messages.size(), 3u);
        std::vector<std::string> last(messages.end() - 3, messages.end());
        EXPECT_EQ(last[0], shown(c.stage1, 1));
        EXPECT_EQ(last[1], shown(c.stage2, 2));
        EXPECT_EQ(last[2], shown("SL", 3));
    }
}

TEST_F(IconTest, ObjectCounterSeesALeakedIcon) {
    // The leak test below is only as good as its counter: under Wine
    // GetGuiResources answers nothing, and the support code counts instead.
    GuiObjectCounts before = guiObjectCounts();
    ExtractResult r = extractThroughShell(iconJar("sizes"), sizes(32, 16));
    HICON kept = r.large.release();
    r = ExtractResult();
    GuiObjectCounts during = guiObjectCounts();
    EXPECT_GT(during.gdi + during.user, before.gdi + before.user);
    DestroyIcon(kept);
    EXPECT_EQ(guiObjectCounts(), before);
}

TEST_F(IconTest, ManyCallsLeaveNoHandleBehind) {
    struct Case {
        const char* jar;
        bool configured;
    };
    const Case cases[] = {{"sizes", false}, {"png", false},    {"unaligned", false}, {"halfbad", true},
                          {"noicon", true}, {"noicon", false}, {"type2", false},     {"cutimage", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.jar) + (c.configured ? " with DefaultIcon" : ""));
        if (c.configured)
            setConfigString(CONFIG_DEFAULT_ICON, stage2Icon() + ",0");
        else
            deleteConfigValue(CONFIG_DEFAULT_ICON);
        extractThroughShell(iconJar(c.jar), sizes(32, 16));  // first-use caches of the system
        GuiObjectCounts before = guiObjectCounts();
        for (int i = 0; i < 100; ++i) extractThroughShell(iconJar(c.jar), sizes(32, 16), true, i % 3 != 0);
        EXPECT_EQ(guiObjectCounts(), before) << "gdi " << before.gdi << " user " << before.user;
    }
}

TEST_F(IconTest, OnlyImagesOffAFourByteBoundaryAreCopied) {
    // The same two images, padded onto the boundary in one file and off it in
    // the other: the second costs one block per image more, and both look right.
    auto allocationsFor = [](const char* jar) {
        HICON small = nullptr, large = nullptr;
        armAllocationFailure(0);
        loadArchiveIcons(widen(iconJar(jar)).c_str(), 16, 16, 32, 32, 32, &small, &large);
        long n = allocationCount();
        IconHandle ownSmall(small), ownLarge(large);
        EXPECT_TRUE(looksLike(large, 32, navy)) << jar;
        EXPECT_TRUE(looksLike(small, 16, brown)) << jar;
        return n;
    };
    EXPECT_EQ(allocationsFor("unaligned"), allocationsFor("aligned") + 2);
}

TEST_F(IconTest, NoMemoryGivesNoIconForThatSizeAndLeaksNothing) {
    const std::string path = iconJar("unaligned");
    HICON small = nullptr, large = nullptr;
    // First use: the caches of the reader and of drawing (Wine's ARM64 GDI
    // keeps two objects from the first icon drawn).
    loadArchiveIcons(widen(path).c_str(), 16, 16, 32, 32, 32, &small, &large);
    EXPECT_TRUE(looksLike(small, 16, brown) && looksLike(large, 32, navy));
    DestroyIcon(small);
    DestroyIcon(large);
    GuiObjectCounts before = guiObjectCounts();
    long points = sweepAllocationFailures([&] {
        HICON s = reinterpret_cast<HICON>(1), l = reinterpret_cast<HICON>(1);
        loadArchiveIcons(widen(path).c_str(), 16, 16, 32, 32, 32, &s, &l);
        IconHandle ownSmall(s), ownLarge(l);
        return (!s || looksLike(s, 16, brown)) && (!l || looksLike(l, 32, navy));
    });
    EXPECT_GE(points, 2) << "the member read and the aligned copies allocate";
    EXPECT_EQ(guiObjectCounts(), before);
}

}  // namespace
