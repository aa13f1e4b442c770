// Explorer asks for icons, tooltips and drops from several threads at once,
// each with objects of its own. Eight threads over good, damaged and missing
// jars give exactly the answers of one thread, and leave no handle, GDI or USER
// object behind, and no more memory than the same platform calls made without
// the extension: the platform may keep some of its own, and that is not ours.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "win/DropTestSupport.h"
#include "win/IconTestSupport.h"

#include <shellapi.h>

namespace {

constexpr int kThreads = 8;
constexpr int kRounds = 10;
const UINT kSizes = MAKELONG(32, 16);
const char* const kJars[] = {"icons/sizes.jar",   "infotip/order.jar",  "zips/jar-trailer-100.jar",
                             "icons/halfbad.jar", "zips/not-a-zip.jar", "zips/missing-file.jar"};
constexpr int kJarCount = sizeof(kJars) / sizeof(kJars[0]);
// Under Wine the same platform calls made without the extension now and then
// keep a handle or an icon's two bitmaps of their own: a shared cache that
// several threads fill at once may keep an entry per thread. Anything the
// extension kept per call would add hundreds or thousands.
constexpr DWORD kPlatformLateHandles = kThreads;
constexpr DWORD kPlatformLateGdi = 2 * kThreads;

// What the shell sees of one jar: the icons, the tooltip and the drop's answer.
struct Answers {
    HRESULT extract = E_FAIL, tip = E_FAIL, drop = E_FAIL;
    IconPixels large, small;
    std::wstring text;
    DWORD effect = 0;
    bool operator==(const Answers& o) const {
        return extract == o.extract && tip == o.tip && drop == o.drop && large == o.large && small == o.small &&
               text == o.text && effect == o.effect;
    }
};

// Load, GetIconLocation and Extract on one object, Load and GetInfoTip on a
// second, and when asked Load and a drop on a third: 5 calls, or 7.
Answers ask(const std::string& jar, bool drop) {
    Answers a;
    ExtractResult icons = extractThroughShell(jar, kSizes);
    a.extract = icons.hr;
    a.large = readIconPixels(icons.large.get());
    a.small = readIconPixels(icons.small.get());
    IQueryInfo* info = nullptr;
    if (SUCCEEDED(dll().createLoaded(jar, IID_IQueryInfo, reinterpret_cast<void**>(&info)))) {
        PWSTR text = nullptr;
        a.tip = info->GetInfoTip(0, &text);
        if (a.tip == S_OK) a.text = text;
        CoTaskMemFree(text);
        info->Release();
    }
    IDropTarget* target = nullptr;
    if (drop && SUCCEEDED(dll().createLoaded(jar, IID_IDropTarget, reinterpret_cast<void**>(&target)))) {
        IDataObject* data = DropDataObject::createAnsi({"C:\\a.txt", "C:\\"});
        a.effect = DROPEFFECT_COPY;
        POINTL pt = {0, 0};
        a.drop = target->Drop(data, 0, pt, &a.effect);
        data->Release();
        target->Release();
    }
    return a;
}

// The platform calls behind the answers, made without the extension: the
// jar's file read, an icon made and read back for every icon answered, the
// tooltip's task memory, and the program started for a drop.
void askPlatform(const std::string& jar, const Answers& answered, bool drop) {
    HANDLE file = CreateFileA(jar.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        char tail[4096];
        DWORD got = 0;
        ReadFile(file, tail, sizeof tail, &got, nullptr);
        CloseHandle(file);
    }
    for (const IconPixels* icon : {&answered.large, &answered.small})
        if (icon->valid) readIconPixels(loadModuleIconAt(icon->width).get());
    CoTaskMemFree(CoTaskMemAlloc((answered.text.size() + 1) * sizeof(wchar_t)));
    if (drop && answered.drop == S_OK)
        ShellExecuteA(nullptr, nullptr, recorderPath().c_str(), "\"C:\\a.txt\"", nullptr, SW_SHOWNORMAL);
}

// Live bytes on every heap of the process.
size_t heapBytesInUse() {
    HANDLE heaps[256];
    DWORD count = GetProcessHeaps(256, heaps);
    size_t busy = 0;
    for (DWORD i = 0; i < count && i < 256; ++i) {
        if (!HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY entry = {};
        while (HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) busy += entry.cbData;
        HeapUnlock(heaps[i]);
    }
    return busy;
}

// Wine's GetProcessHandleCount answers 0: then the open handles are counted
// by asking about every handle value.
DWORD openHandles() {
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count) return count;
    for (UINT_PTR value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    }
    return count;
}

struct Footprint {
    DWORD handles;
    GuiObjectCounts gui;
    size_t heap;
};
Footprint footprint() { return {openHandles(), guiObjectCounts(), heapBytesInUse()}; }

// Runs body(jar index, drop) for every jar of every round on kThreads threads,
// each in an apartment of its own; a drop every other round, on one jar in turn.
template <typename Body>
void onThreads(Body body) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&body, t] {
            OleApartment apartment;
            for (int round = 0; round < kRounds; ++round)
                for (int j = 0; j < kJarCount; ++j) body(j, round % 2 == 0 && (t + round / 2) % kJarCount == j);
        });
    for (std::thread& thread : threads) thread.join();
}

TEST(Threads, EightThreadsAnswerAsOneAndLeaveNothingBehind) {
    ASSERT_NE(dll().module(), nullptr) << "Morvane.dll not loadable";
    OleApartment apartment;
    JarAssociation association(recorderCommand());
    CommandRecording recording;
    std::vector<std::string> jars;
    std::vector<Answers> expected[2];  // without and with a drop
    for (const char* jar : kJars) {
        jars.push_back(fixturePath(jar));
        for (bool drop : {false, true}) expected[drop].push_back(ask(jars.back(), drop));
    }
    ASSERT_TRUE(expected[0][0].large.valid && !expected[0][1].text.empty()) << "the good jars answer nothing";

    std::atomic<int> calls{0}, differing{0};
    auto askOnThreads = [&] {
        onThreads([&](int j, bool drop) {
            calls += drop ? 7 : 5;
            if (!(ask(jars[size_t(j)], drop) == expected[drop][size_t(j)])) ++differing;
        });
    };
    auto askPlatformOnThreads = [&] {
        onThreads([&](int j, bool drop) { askPlatform(jars[size_t(j)], expected[drop][size_t(j)], drop); });
    };
    // The first run on many threads fills the system's caches once (a few
    // device contexts and heap blocks under Wine); the second is measured.
    askOnThreads();
    askPlatformOnThreads();
    Footprint before = footprint();
    askOnThreads();
    // A program that a drop started may still be starting: Wine holds a handle
    // of its own until it has. A handle the extension kept would never go.
    Footprint after = footprint();
    for (int i = 0; i < 50 && after.handles > before.handles; ++i) {
        Sleep(100);
        after = footprint();
    }
    askPlatformOnThreads();
    Footprint baseline = footprint();

    EXPECT_EQ(differing, 0) << "of " << calls << " calls";
    EXPECT_EQ(dll().canUnloadNow(), S_OK) << "an object was not released";
    EXPECT_LE(after.handles, before.handles + kPlatformLateHandles);
    EXPECT_LE(after.gui.gdi, before.gui.gdi + kPlatformLateGdi);
    EXPECT_EQ(after.gui.user, before.gui.user);
    // The extension's share is what the calls kept beyond the platform's own.
    long long ours = static_cast<long long>(after.heap) - static_cast<long long>(before.heap);
    long long platform = static_cast<long long>(baseline.heap) - static_cast<long long>(after.heap);
    EXPECT_LE(ours, platform + 4096) << "the extension kept memory";
    EXPECT_TRUE(recording.wait()) << "no drop started the program";
    RecordProperty("calls", calls);
    std::printf("%d calls on %d threads in two runs, the second measured: handles %lu -> %lu, gdi %lu -> %lu, "
                "user %lu -> %lu; heap in use %zu -> %zu bytes (%+lld), then the same platform calls alone -> %zu "
                "bytes (%+lld)\n",
                int(calls), kThreads, before.handles, after.handles, before.gui.gdi, after.gui.gdi, before.gui.user,
                after.gui.user, before.heap, after.heap, ours, baseline.heap, platform);
}

}  // namespace
