#include "win/VersionTestSupport.h"

#include <cstring>

BOOL CALLBACK PageCapture::add(HPROPSHEETPAGE page, LPARAM lParam) {
    auto* capture = reinterpret_cast<PageCapture*>(lParam);
    ++capture->calls;
    if (!capture->accept) return FALSE;
    capture->pages.push_back(page);
    return TRUE;
}

namespace {
// An empty child dialog: the template header, no menu, the default class, no title.
struct PlainTemplate {
    DLGTEMPLATE header;
    WORD menu, windowClass, title;
};
INT_PTR CALLBACK plainPageProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }
}  // namespace

HPROPSHEETPAGE createPlainPage(const wchar_t* title) {
    static PlainTemplate plain = {{WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, 200, 150}, 0, 0, 0};
    PROPSHEETPAGEW page = {};
    page.dwSize = sizeof(page);
    page.dwFlags = PSP_DLGINDIRECT | PSP_USETITLE;
    page.pResource = &plain.header;
    page.pszTitle = title;
    page.pfnDlgProc = plainPageProc;
    return CreatePropertySheetPageW(&page);
}

ModelessSheet::ModelessSheet(const std::vector<HPROPSHEETPAGE>& pages, const wchar_t* caption) {
    std::vector<HPROPSHEETPAGE> copy = pages;
    PROPSHEETHEADERW header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_MODELESS | PSH_NOAPPLYNOW;
    header.pszCaption = caption;
    header.nPages = UINT(copy.size());
    header.phpage = copy.data();
    sheet_ = reinterpret_cast<HWND>(PropertySheetW(&header));
    pumpMessages();
}

ModelessSheet::~ModelessSheet() { close(); }

HWND ModelessSheet::activate(int index) {
    SendMessageW(sheet_, PSM_SETCURSEL, WPARAM(index), 0);
    pumpMessages();
    return reinterpret_cast<HWND>(SendMessageW(sheet_, PSM_GETCURRENTPAGEHWND, 0, 0));
}

void ModelessSheet::close() {
    if (!sheet_ || sheet_ == reinterpret_cast<HWND>(-1)) return;
    SendMessageW(sheet_, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    // A modeless sheet that is done answers with no current page; its owner
    // then destroys it, which releases its pages.
    for (int i = 0; i < 200 && SendMessageW(sheet_, PSM_GETCURRENTPAGEHWND, 0, 0); ++i) {
        pumpMessages();
        Sleep(5);
    }
    DestroyWindow(sheet_);
    pumpMessages();
    sheet_ = nullptr;
}

void pumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

int tabCount(HWND sheet) {
    HWND tab = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0));
    return tab ? int(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0)) : -1;
}

std::wstring tabText(HWND sheet, int index) {
    HWND tab = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0));
    wchar_t text[128] = {};
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 128;
    if (!tab || !SendMessageW(tab, TCM_GETITEMW, WPARAM(index), reinterpret_cast<LPARAM>(&item))) return L"";
    return item.pszText;  // the control may point elsewhere instead of copying
}

int findTab(HWND sheet, const std::wstring& caption) {
    for (int i = 0, n = tabCount(sheet); i < n; ++i)
        if (tabText(sheet, i) == caption) return i;
    return -1;
}

std::wstring controlText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    std::vector<wchar_t> text(size_t(GetWindowTextLengthW(control)) + 1);
    GetWindowTextW(control, text.data(), int(text.size()));
    return text.data();
}

std::vector<std::wstring> listItems(HWND list) {
    std::vector<std::wstring> items;
    LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::vector<wchar_t> text(size_t(SendMessageW(list, LB_GETTEXTLEN, WPARAM(i), 0)) + 1);
        SendMessageW(list, LB_GETTEXT, WPARAM(i), reinterpret_cast<LPARAM>(text.data()));
        items.emplace_back(text.data());
    }
    return items;
}

void selectItem(HWND page, int index) {
    HWND list = GetDlgItem(page, IDC_VERSION_ITEMS);
    SendMessageW(list, LB_SETCURSEL, WPARAM(index), 0);
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_VERSION_ITEMS, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

VersionPageView readVersionPage(HWND page) {
    VersionPageView view;
    view.fileVersion = controlText(page, IDC_VERSION_FILEVERSION);
    view.description = controlText(page, IDC_VERSION_DESCRIPTION);
    view.copyright = controlText(page, IDC_VERSION_COPYRIGHT);
    view.items = listItems(GetDlgItem(page, IDC_VERSION_ITEMS));
    for (size_t i = 0; i < view.items.size(); ++i) {
        selectItem(page, int(i));
        view.values.push_back(controlText(page, IDC_VERSION_VALUE));
    }
    return view;
}

std::string versionJar(const char* name) { return fixturePath(std::string("version/") + name); }

HRESULT initializeWith(IShellExtInit* init, const std::vector<std::string>& paths) {
    DropDataObject* data = DropDataObject::createAnsi(paths);
    HRESULT hr = init->Initialize(nullptr, data, nullptr);
    data->Release();
    return hr;
}

ULONG objectRefCount(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

namespace {
BOOL CALLBACK findSheet(HWND hwnd, LPARAM lParam) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[16] = {};
    GetClassNameW(hwnd, cls, 16);
    if (pid != GetCurrentProcessId() || !IsWindowVisible(hwnd) || wcscmp(cls, L"#32770") != 0) return TRUE;
    if (!SendMessageW(hwnd, PSM_GETTABCONTROL, 0, 0)) return TRUE;
    *reinterpret_cast<HWND*>(lParam) = hwnd;
    return FALSE;
}
}  // namespace

HWND waitForPropertySheet(DWORD timeoutMs, const std::atomic<bool>* stop) {
    for (DWORD waited = 0; waited < timeoutMs && !(stop && *stop); waited += 50) {
        HWND sheet = nullptr;
        EnumWindows(findSheet, reinterpret_cast<LPARAM>(&sheet));
        if (sheet) return sheet;
        Sleep(50);
    }
    return nullptr;
}

RegisteredJarType::RegisteredJarType()
    : hadExtension_(registryKeyExists(HKEY_CLASSES_ROOT, ".jar")),
      hadFileType_(registryKeyExists(HKEY_CLASSES_ROOT, "jarfile")) {
    setRegistryString(HKEY_CLASSES_ROOT, ".jar", nullptr, "jarfile");
    setRegistryString(HKEY_CLASSES_ROOT, "jarfile", nullptr, "Executable Jar File");
    registration_ = dll().registerServer();
}

RegisteredJarType::~RegisteredJarType() {
    dll().unregisterServer();
    if (!hadFileType_) deleteRegistryTree(HKEY_CLASSES_ROOT, "jarfile");
    if (!hadExtension_) deleteRegistryTree(HKEY_CLASSES_ROOT, ".jar");
}

std::optional<VersionPageView> versionPageOf(const std::wstring& path) {
    IShellExtInit* init = nullptr;
    if (FAILED(dll().createObject(IID_IShellExtInit, reinterpret_cast<void**>(&init)))) return std::nullopt;
    DropDataObject* selection = DropDataObject::createWide({path});
    HRESULT hr = init->Initialize(nullptr, selection, nullptr);
    selection->Release();
    IShellPropSheetExt* sheetExt = nullptr;
    PageCapture capture;
    if (hr == S_OK && SUCCEEDED(init->QueryInterface(IID_IShellPropSheetExt, reinterpret_cast<void**>(&sheetExt)))) {
        sheetExt->AddPages(PageCapture::add, capture.param());
        sheetExt->Release();
    }
    init->Release();
    if (capture.pages.empty()) return std::nullopt;
    ModelessSheet sheet(capture.pages, L"Properties");
    return readVersionPage(sheet.activate(0));
}
