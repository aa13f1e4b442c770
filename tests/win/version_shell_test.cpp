// The "Version" page through Wine's own shell: Morvane.dll registered, the
// jar's properties opened with the "properties" verb of its context menu, the
// tab found in the shell's property sheet and read back. A program of its
// own: Wine's shell keeps a reference on each handler object it made.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "win/VersionTestSupport.h"

namespace {

// What a watcher on another thread saw of the shell's sheet.
struct SheetSeen {
    std::atomic<bool> stop{false};  // the shell's call has returned
    bool found = false;
    std::vector<std::wstring> tabs;
    bool versionPage = false;
    VersionPageView view;
};

// Waits for the sheet, activates its "Version" tab, reads the page and
// closes the sheet as a user's Cancel would.
void watchSheet(SheetSeen* seen) {
    HWND sheet = waitForPropertySheet(30000, &seen->stop);
    if (!sheet) return;
    seen->found = true;
    for (int i = 0, n = tabCount(sheet); i < n; ++i) seen->tabs.push_back(tabText(sheet, i));
    int index = findTab(sheet, L"Version");
    if (index >= 0) {
        SendMessageW(sheet, PSM_SETCURSEL, WPARAM(index), 0);
        HWND page = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
        if (page) {
            seen->versionPage = true;
            seen->view = readVersionPage(page);
        }
    }
    SendMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    // Without a message to wake it, the sheet's loop may never notice.
    PostMessageW(sheet, WM_NULL, 0, 0);
}

// Opens the file's properties through its context menu in its folder; returns
// when the (modal) sheet has been closed.
HRESULT openProperties(const std::string& path) {
    std::wstring wide = widen(path);
    PIDLIST_ABSOLUTE pidl = nullptr;
    HRESULT hr = SHParseDisplayName(wide.c_str(), nullptr, &pidl, 0, nullptr);
    if (FAILED(hr)) return hr;
    IShellFolder* folder = nullptr;
    PCUITEMID_CHILD child = nullptr;
    hr = SHBindToParent(pidl, IID_IShellFolder, reinterpret_cast<void**>(&folder), &child);
    if (SUCCEEDED(hr)) {
        IContextMenu* menu = nullptr;
        hr = folder->GetUIObjectOf(nullptr, 1, &child, IID_IContextMenu, nullptr, reinterpret_cast<void**>(&menu));
        if (SUCCEEDED(hr)) {
            CMINVOKECOMMANDINFO invoke = {};
            invoke.cbSize = sizeof(invoke);
            invoke.lpVerb = "properties";
            invoke.nShow = SW_SHOWNORMAL;
            hr = menu->InvokeCommand(&invoke);
            menu->Release();
        }
        folder->Release();
    }
    CoTaskMemFree(pidl);
    return hr;
}

class VersionShellTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(dll().module(), nullptr) << "Morvane.dll not loadable"; }
    OleApartment apartment;
};

TEST_F(VersionShellTest, PropertiesOfAJarShowTheVersionTab) {
    RegisteredJarType jarType;
    ASSERT_EQ(jarType.registration(), S_OK);
    SheetSeen seen;
    std::thread watcher(watchSheet, &seen);
    HRESULT hr = openProperties(versionJar("sample.jar"));
    seen.stop = true;
    watcher.join();
    ASSERT_EQ(hr, S_OK);
    ASSERT_TRUE(seen.found) << "the shell showed no property sheet";
    ASSERT_TRUE(seen.versionPage) << "tabs: " << ::testing::PrintToString(seen.tabs);
    EXPECT_EQ(seen.view.fileVersion, L"2.4.1");
    EXPECT_EQ(seen.view.description, L"Morvane sample tool");
    EXPECT_EQ(seen.view.copyright, L"(C) 2026 The Morvane developers");
    const std::vector<std::wstring> items = {L"Version", L"Description", L"Copyright",  L"Vendor", L"Notes",
                                             L"Experimental", L"Formula", L"Build-Date", L"Path",
                                             L"\u0410\u0432\u0442\u043E\u0440"};
    EXPECT_EQ(seen.view.items, items);
    ASSERT_EQ(seen.view.values.size(), items.size());
    EXPECT_EQ(seen.view.values[4], L"First line\r\nSecond line");
    EXPECT_EQ(seen.view.values[5], L"");
    EXPECT_EQ(seen.view.values[9], L"\u0391\u03B8\u03B7\u03BD\u03AC \u6771\u4EAC");
    // No DllCanUnloadNow here: Wine's SHCreatePropSheetExtArrayEx keeps the
    // IShellExtInit reference of every handler it initialises, so the object
    // outlives the sheet in this process whatever the page does. The modeless
    // sheet tests check that the page gives back what it holds.
}

TEST_F(VersionShellTest, JarWithoutMemberHasNoVersionTab) {
    RegisteredJarType jarType;
    ASSERT_EQ(jarType.registration(), S_OK);
    SheetSeen seen;
    std::thread watcher(watchSheet, &seen);
    HRESULT hr = openProperties(versionJar("none.jar"));
    seen.stop = true;
    watcher.join();
    EXPECT_EQ(hr, S_OK);
    // The shell's own "General" page still makes a sheet.
    ASSERT_TRUE(seen.found);
    EXPECT_FALSE(seen.tabs.empty());
    EXPECT_EQ(std::count(seen.tabs.begin(), seen.tabs.end(), L"Version"), 0)
        << "tabs: " << ::testing::PrintToString(seen.tabs);
}

}  // namespace
