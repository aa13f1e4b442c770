// The "Version" page as the shell meets it: the selection handed over with
// Initialize, AddPages with an add-page function that keeps or refuses the
// page, and the page at work in a real (modeless) property sheet.
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "com/JarIconObj.h"
#include "versionpage/PropSheetExt.h"
#include "win/VersionTestSupport.h"

namespace {

using Texts = std::vector<std::wstring>;

class VersionPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(dll().module(), nullptr) << "Morvane.dll not loadable";
        ASSERT_EQ(dll().canUnloadNow(), S_OK) << "an earlier test left an object alive";
    }

    // A new object as the shell makes a property-sheet handler: created,
    // Initialize'd with the selection, then asked for IShellPropSheetExt.
    IShellPropSheetExt* handlerFor(const std::vector<std::string>& paths, HRESULT expectInit = S_OK) {
        IShellExtInit* init = nullptr;
        EXPECT_EQ(dll().createObject(IID_IShellExtInit, reinterpret_cast<void**>(&init)), S_OK);
        if (!init) return nullptr;
        EXPECT_EQ(initializeWith(init, paths), expectInit);
        IShellPropSheetExt* ext = nullptr;
        EXPECT_EQ(init->QueryInterface(IID_IShellPropSheetExt, reinterpret_cast<void**>(&ext)), S_OK);
        init->Release();
        return ext;
    }

    OleApartment apartment;
};

TEST_F(VersionPageTest, InitializeTakesExactlyOneFile) {
    IShellExtInit* init = nullptr;
    ASSERT_EQ(dll().createObject(IID_IShellExtInit, reinterpret_cast<void**>(&init)), S_OK);
    IShellPropSheetExt* ext = nullptr;
    ASSERT_EQ(init->QueryInterface(IID_IShellPropSheetExt, reinterpret_cast<void**>(&ext)), S_OK);

    EXPECT_EQ(initializeWith(init, {versionJar("sample.jar")}), S_OK);
    // Two selected files are refused and the path from before stays: the page
    // is still made from the first jar, not from the member-less one.
    EXPECT_EQ(initializeWith(init, {versionJar("none.jar"), versionJar("sample.jar")}), E_FAIL);
    PageCapture capture;
    EXPECT_EQ(ext->AddPages(PageCapture::add, capture.param()), S_OK);
    ASSERT_EQ(capture.pages.size(), 1u);
    DestroyPropertySheetPage(capture.pages[0]);
    ext->Release();
    init->Release();

    // And the other way round: a jar without the member gives no page.
    ext = handlerFor({versionJar("none.jar")});
    ASSERT_NE(ext, nullptr);
    PageCapture none;
    EXPECT_EQ(ext->AddPages(PageCapture::add, none.param()), E_FAIL);
    EXPECT_EQ(none.calls, 0);
    ext->Release();
    EXPECT_EQ(dll().canUnloadNow(), S_OK);
}

TEST_F(VersionPageTest, AddPagesOnlyForAUsableMember) {
    const std::map<std::string, bool> jars = {
        {"sample.jar", true},    {"sample-lf.jar", true}, {"duplicates.jar", true},   {"midway.jar", true},
        {"bom.jar", true},       {"badfirst.jar", false}, {"breaks.jar", false},      {"empty.jar", false},
        {"none.jar", false},     {"no-such.jar", false},
    };
    for (const auto& [jar, hasPage] : jars) {
        SCOPED_TRACE(jar);
        IShellPropSheetExt* ext = handlerFor({versionJar(jar.c_str())});
        ASSERT_NE(ext, nullptr);
        ULONG before = objectRefCount(ext);
        PageCapture capture;
        EXPECT_EQ(ext->AddPages(PageCapture::add, capture.param()), hasPage ? S_OK : E_FAIL);
        EXPECT_EQ(capture.pages.size(), hasPage ? 1u : 0u);
        // The page holds one reference on the object until it is released.
        EXPECT_EQ(objectRefCount(ext), before + (hasPage ? 1 : 0));
        for (HPROPSHEETPAGE page : capture.pages) DestroyPropertySheetPage(page);
        EXPECT_EQ(objectRefCount(ext), before);
        EXPECT_EQ(ext->Release(), 0u);
    }
    EXPECT_EQ(dll().canUnloadNow(), S_OK);
}

TEST_F(VersionPageTest, RefusedPageIsDestroyed) {
    IShellPropSheetExt* ext = handlerFor({versionJar("sample.jar")});
    ASSERT_NE(ext, nullptr);
    ULONG before = objectRefCount(ext);
    PageCapture refuse;
    refuse.accept = false;
    EXPECT_EQ(ext->AddPages(PageCapture::add, refuse.param()), E_FAIL);
    EXPECT_EQ(refuse.calls, 1);
    EXPECT_EQ(objectRefCount(ext), before) << "the refused page gave its reference back";
    // Asked again, the object still has its page to give.
    PageCapture keep;
    EXPECT_EQ(ext->AddPages(PageCapture::add, keep.param()), S_OK);
    ASSERT_EQ(keep.pages.size(), 1u);
    DestroyPropertySheetPage(keep.pages[0]);
    EXPECT_EQ(ext->Release(), 0u);
    EXPECT_EQ(dll().canUnloadNow(), S_OK);
}

TEST_F(VersionPageTest, ReplacePageIsNotImplemented) {
    IShellPropSheetExt* ext = handlerFor({versionJar("sample.jar")});
    ASSERT_NE(ext, nullptr);
    PageCapture capture;
    EXPECT_EQ(ext->ReplacePage(1, PageCapture::add, capture.param()), E_NOTIMPL);
    EXPECT_EQ(capture.calls, 0);
    ext->Release();
}

// A list without lines is kept, so the member is not read again; a read that
// gave nothing is tried again at the next request.
TEST_F(VersionPageTest, EmptyListIsKeptFailedReadIsRepeated) {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    std::string breaks = std::string(dir) + "morvane-version-breaks.jar";
    std::string missing = std::string(dir) + "morvane-version-later.jar";
    ASSERT_TRUE(CopyFileA(versionJar("breaks.jar").c_str(), breaks.c_str(), FALSE));
    DeleteFileA(missing.c_str());

    IShellPropSheetExt* withEmpty = handlerFor({breaks});
    IShellPropSheetExt* withNone = handlerFor({missing});
    ASSERT_TRUE(withEmpty && withNone);
    PageCapture first;
    EXPECT_EQ(withEmpty->AddPages(PageCapture::add, first.param()), E_FAIL);
    EXPECT_EQ(withNone->AddPages(PageCapture::add, first.param()), E_FAIL);

    // Both files now hold a usable member.
    ASSERT_TRUE(CopyFileA(versionJar("sample.jar").c_str(), breaks.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(versionJar("sample.jar").c_str(), missing.c_str(), FALSE));
    PageCapture second;
    EXPECT_EQ(withEmpty->AddPages(PageCapture::add, second.param()), E_FAIL);
    EXPECT_EQ(withNone->AddPages(PageCapture::add, second.param()), S_OK);
    for (HPROPSHEETPAGE page : second.pages) DestroyPropertySheetPage(page);
    withEmpty->Release();
    withNone->Release();
    DeleteFileA(breaks.c_str());
    DeleteFileA(missing.c_str());
}

// ---- the page in a property sheet --------------------------------------------

struct SheetCase {
    const char* jar;
    VersionPageView view;
};

void PrintTo(const SheetCase& c, std::ostream* os) { *os << c.jar; }

const Texts kSampleItems = {L"Version", L"Description", L"Copyright",  L"Vendor", L"Notes",
                            L"Experimental", L"Formula", L"Build-Date", L"Path",
                            L"\u0410\u0432\u0442\u043E\u0440"};
const Texts kSampleValues = {L"2.4.1",
                             L"Morvane sample tool",
                             L"(C) 2026 The Morvane developers",
                             L"Gr\u00FC\u00DF & S\u00F6hne",
                             L"First line\r\nSecond line",
                             L"",
                             L"a=b+c",
                             L"",
                             L"C:\\tools\\morvane",
                             L"\u0391\u03B8\u03B7\u03BD\u03AC \u6771\u4EAC"};
const VersionPageView kSampleView = {L"2.4.1", L"Morvane sample tool", L"(C) 2026 The Morvane developers",
                                     kSampleItems, kSampleValues};

const SheetCase kSheetCases[] = {
    {"sample.jar", kSampleView},
    {"sample-lf.jar", kSampleView},
    // Later lines win a field; a well-known name without "=" empties it;
    // names in other letter case are only listed.
    {"duplicates.jar",
     {L"2.0", L"", L"second",
      {L"Version", L"version", L"Version", L"DESCRIPTION", L"Description", L"Copyright", L"Copyright"},
      {L"1.0", L"lower", L"2.0", L"upper", L"", L"first", L"second"}}},
    // The line that is not UTF-8 and all after it are missing.
    {"midway.jar", {L"3.0", L"fine", L"", {L"Version", L"Description"}, {L"3.0", L"fine"}}},
    // The byte-order mark belongs to the first name, which then fills no field.
    {"bom.jar", {L"", L"", L"kept", {L"\uFEFFVersion", L"Copyright"}, {L"5.0", L"kept"}}},
};

class VersionSheet : public VersionPageTest, public ::testing::WithParamInterface<SheetCase> {};

TEST_P(VersionSheet, ShowsTheMember) {
    const SheetCase& c = GetParam();
    IShellPropSheetExt* ext = handlerFor({versionJar(c.jar)});
    ASSERT_NE(ext, nullptr);
    PageCapture capture;
    ASSERT_EQ(ext->AddPages(PageCapture::add, capture.param()), S_OK);
    // The shell lets go of the handler once it has its pages: the page alone
    // keeps the object, and so the module, alive.
    EXPECT_EQ(ext->Release(), 1u);
    EXPECT_EQ(dll().canUnloadNow(), S_FALSE);
    {
        ModelessSheet sheet({createPlainPage(L"General"), capture.pages[0]}, L"test.jar");
        ASSERT_NE(sheet.hwnd(), nullptr);
        // Wine's shell library has no template 1043: a page built on it would
        // be left out of the sheet without a word.
        ASSERT_EQ(tabCount(sheet.hwnd()), 2);
        EXPECT_EQ(tabText(sheet.hwnd(), 1), L"Version");

        HWND page = sheet.activate(1);
        ASSERT_NE(page, nullptr);
        VersionPageView view = readVersionPage(page);
        EXPECT_EQ(view.fileVersion, c.view.fileVersion);
        EXPECT_EQ(view.description, c.view.description);
        EXPECT_EQ(view.copyright, c.view.copyright);
        EXPECT_EQ(view.items, c.view.items);
        EXPECT_EQ(view.values, c.view.values);

        // Away and back again: the list is filled only once.
        sheet.activate(0);
        EXPECT_EQ(sheet.activate(1), page);
        EXPECT_EQ(listItems(GetDlgItem(page, IDC_VERSION_ITEMS)), c.view.items);
        sheet.close();
    }
    EXPECT_EQ(dll().canUnloadNow(), S_OK) << "the sheet released the page and the page the object";
}

INSTANTIATE_TEST_SUITE_P(Jars, VersionSheet, ::testing::ValuesIn(kSheetCases),
                         [](const ::testing::TestParamInfo<SheetCase>& info) {
                             std::string name = info.param.jar;
                             for (char& ch : name)
                                 if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return name;
                         });

// The template's list box is replaced by one with a client edge and both
// scroll bars, in the same place, before the value in the tab order; the
// first item is shown at once.
TEST_F(VersionPageTest, ItemListIsReplaced) {
    IShellPropSheetExt* ext = handlerFor({versionJar("sample.jar")});
    ASSERT_NE(ext, nullptr);
    PageCapture capture;
    ASSERT_EQ(ext->AddPages(PageCapture::add, capture.param()), S_OK);
    ext->Release();
    ModelessSheet sheet({capture.pages[0]}, L"test.jar");
    HWND page = sheet.activate(0);
    ASSERT_NE(page, nullptr);
    HWND list = GetDlgItem(page, IDC_VERSION_ITEMS);
    ASSERT_NE(list, nullptr);
    wchar_t cls[32];
    GetClassNameW(list, cls, 32);
    EXPECT_EQ(_wcsicmp(cls, L"ListBox"), 0);
    // The list shows and hides its scroll bars as its items need them.
    const LONG style = GetWindowLongW(list, GWL_STYLE);
    EXPECT_EQ(style & ~(WS_VSCROLL | WS_HSCROLL), 0x50810101) << std::hex << style;
    EXPECT_TRUE(GetWindowLongW(list, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_TRUE(GetWindowLongW(list, GWL_EXSTYLE) & WS_EX_NOPARENTNOTIFY);
    EXPECT_EQ(GetWindow(list, GW_HWNDNEXT), GetDlgItem(page, IDC_VERSION_VALUE));
    EXPECT_EQ(SendMessageW(list, WM_GETFONT, 0, 0), SendMessageW(page, WM_GETFONT, 0, 0));

    // Where the template put it (16, 94, 84 x 89 dialog units), one pixel
    // larger all round.
    RECT origin = {16, 94, 84, 89};  // left, top, width, height
    MapDialogRect(page, &origin);
    RECT rect;
    GetWindowRect(list, &rect);
    MapWindowPoints(HWND_DESKTOP, page, reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, origin.left - 1);
    EXPECT_EQ(rect.top, origin.top - 1);
    EXPECT_EQ(rect.right - rect.left, origin.right + 2);
    EXPECT_EQ(rect.bottom - rect.top, origin.bottom + 2);

    // The first activation selects the first item and shows its value; a
    // value with an escaped line break takes two lines of the value box.
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(controlText(page, IDC_VERSION_VALUE), L"2.4.1");
    selectItem(page, 4);
    EXPECT_EQ(SendDlgItemMessageW(page, IDC_VERSION_VALUE, EM_GETLINECOUNT, 0, 0), 2);
    selectItem(page, 0);
    EXPECT_EQ(SendDlgItemMessageW(page, IDC_VERSION_VALUE, EM_GETLINECOUNT, 0, 0), 1);
}

// More items than the list can show: the replaced list has the vertical
// scroll bar that the template's lacks.
TEST_F(VersionPageTest, LongListScrolls) {
    IShellPropSheetExt* ext = handlerFor({versionJar("many.jar")});
    ASSERT_NE(ext, nullptr);
    PageCapture capture;
    ASSERT_EQ(ext->AddPages(PageCapture::add, capture.param()), S_OK);
    ext->Release();
    ModelessSheet sheet({capture.pages[0]}, L"test.jar");
    HWND page = sheet.activate(0);
    ASSERT_NE(page, nullptr);
    HWND list = GetDlgItem(page, IDC_VERSION_ITEMS);
    Texts items = listItems(list);
    ASSERT_EQ(items.size(), 40u);
    EXPECT_EQ(items.front(), L"Item01");
    EXPECT_EQ(items.back(), L"Item40");
    EXPECT_TRUE(GetWindowLongW(list, GWL_STYLE) & WS_VSCROLL);
    selectItem(page, 39);
    EXPECT_EQ(controlText(page, IDC_VERSION_VALUE), L"value 40");
}

// Two pages from one object share its list: the first one released leaves
// the list to the second, whose items point into it.
TEST_F(VersionPageTest, PagesShareTheListUntilTheLastIsReleased) {
    auto* obj = new JarIconObj();
    obj->AddRef();
    ASSERT_TRUE(obj->setPath(widen(versionJar("sample.jar")).c_str()));
    velShellPropSheetExt* ext = obj->pShellPropSheetExt;
    ASSERT_NE(ext, nullptr);

    PageCapture capture;
    ASSERT_EQ(ext->AddPages(PageCapture::add, capture.param()), S_OK);
    VersionList* list = ext->pVersionList;
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(ext->AddPages(PageCapture::add, capture.param()), S_OK);
    ASSERT_EQ(capture.pages.size(), 2u);
    EXPECT_EQ(ext->pVersionList, list) << "the member is read once for both pages";
    EXPECT_EQ(obj->cRef, 3);

    DestroyPropertySheetPage(capture.pages[0]);
    EXPECT_EQ(obj->cRef, 2);
    ASSERT_EQ(ext->pVersionList, list) << "the second page still points into the list";
    EXPECT_EQ(std::wstring(list[0]), L"Version=2.4.1");

    DestroyPropertySheetPage(capture.pages[1]);
    EXPECT_EQ(obj->cRef, 1);
    EXPECT_EQ(ext->pVersionList, nullptr) << "freed with the last page";
    EXPECT_EQ(obj->Release(), 0u);
}

// Filling leaves the list as it was read, so a second page shows the same.
TEST_F(VersionPageTest, SecondPageOfTheSameListShowsTheSame) {
    IShellPropSheetExt* ext = handlerFor({versionJar("sample.jar")});
    ASSERT_NE(ext, nullptr);
    PageCapture capture;
    ASSERT_EQ(ext->AddPages(PageCapture::add, capture.param()), S_OK);
    ASSERT_EQ(ext->AddPages(PageCapture::add, capture.param()), S_OK);
    ext->Release();
    {
        ModelessSheet sheet(capture.pages, L"test.jar");
        ASSERT_EQ(tabCount(sheet.hwnd()), 2);
        VersionPageView first = readVersionPage(sheet.activate(0));
        VersionPageView second = readVersionPage(sheet.activate(1));
        EXPECT_EQ(first.values, kSampleValues);
        EXPECT_EQ(second.items, kSampleItems);
        EXPECT_EQ(second.values, kSampleValues);
        EXPECT_EQ(second.fileVersion, L"2.4.1");
    }
    EXPECT_EQ(dll().canUnloadNow(), S_OK);
}

}  // namespace
