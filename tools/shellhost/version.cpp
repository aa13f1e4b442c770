// shellhost version JAR [--shell] [--screenshot FILE]: the jar's "Version"
// page at work. By default the host does what the shell does for a jar's
// properties: it asks the shell folder for the file's data object, hands it
// to a new object through IShellExtInit::Initialize, collects the page from
// IShellPropSheetExt::AddPages and puts it into a comctl32 property sheet
// (hidden unless a screenshot is asked for). With --shell the shell itself
// opens the jar's properties ("properties" verb of its context menu; the DLL
// must be registered) and the page is found among the shell's own tabs.
// Either way the page's own controls are read back: the three fields, then
// every item of the list with the value it shows once selected.
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "Host.h"
#include "Picture.h"
#include "versionpage/VersionPageIds.h"

namespace {

struct VersionOptions {
    std::wstring jar;
    std::wstring screenshot;  // empty: no picture
    bool throughShell = false;
};

std::wstring windowText(HWND window) {
    std::vector<wchar_t> text(size_t(GetWindowTextLengthW(window)) + 1);
    GetWindowTextW(window, text.data(), int(text.size()));
    return text.data();
}

std::wstring tabText(HWND sheet, int index) {
    HWND tab = PropSheet_GetTabControl(sheet);
    wchar_t text[128] = {};
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 128;
    if (!tab || !TabCtrl_GetItem(tab, index, &item)) return L"";
    return item.pszText;
}

// Values with line breaks go on continuation lines under the first.
std::wstring indentLines(const std::wstring& value, const std::wstring& indent) {
    std::wstring out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == L'\r' && i + 1 < value.size() && value[i + 1] == L'\n') continue;
        out += value[i];
        if (value[i] == L'\n' || value[i] == L'\r') {
            if (value[i] == L'\r') out.back() = L'\n';
            out += indent;
        }
    }
    return out;
}

// Reads the page as a user sees it: the fields, then each item selected in
// turn as a click would, and its value. Leaves the first item selected.
std::wstring describePage(HWND page) {
    std::wstring out;
    const struct {
        const char* label;
        int control;
    } fields[] = {{VERSION_LABEL_FILEVERSION, IDC_VERSION_FILEVERSION},
                  {VERSION_LABEL_DESCRIPTION, IDC_VERSION_DESCRIPTION},
                  {VERSION_LABEL_COPYRIGHT, IDC_VERSION_COPYRIGHT}};
    for (const auto& field : fields) {
        std::wstring label(field.label, field.label + strlen(field.label));  // ASCII
        label.resize(15, L' ');
        out += L"  " + label + windowText(GetDlgItem(page, field.control)) + L"\n";
    }
    HWND list = GetDlgItem(page, IDC_VERSION_ITEMS);
    LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    out += L"  Other version information (" + std::to_wstring(count < 0 ? 0 : count) + L" items):\n";
    for (LRESULT i = 0; i < count; ++i) {
        std::vector<wchar_t> name(size_t(SendMessageW(list, LB_GETTEXTLEN, WPARAM(i), 0)) + 1);
        SendMessageW(list, LB_GETTEXT, WPARAM(i), reinterpret_cast<LPARAM>(name.data()));
        SendMessageW(list, LB_SETCURSEL, WPARAM(i), 0);
        SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_VERSION_ITEMS, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
        std::wstring value = windowText(GetDlgItem(page, IDC_VERSION_VALUE));
        std::wstring label = L"    " + std::wstring(name.data()) + L": ";
        out += label + indentLines(value, std::wstring(label.size(), L' ')) + L"\n";
    }
    if (count > 0) {
        SendMessageW(list, LB_SETCURSEL, 0, 0);
        SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_VERSION_ITEMS, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    }
    return out;
}

// ---- the sheet ----------------------------------------------------------------

// Activates the "Version" tab of a sheet, prints the page and takes the
// picture; the sheet may belong to another thread of this process.
int inspectSheet(HWND sheet, const VersionOptions& options) {
    int index = -1;
    std::wstring tabs;
    for (int i = 0, n = TabCtrl_GetItemCount(PropSheet_GetTabControl(sheet)); i < n; ++i) {
        std::wstring text = tabText(sheet, i);
        tabs += (tabs.empty() ? L"" : L", ") + text;
        if (text == L"Version" && index < 0) index = i;
    }
    if (index < 0) {
        printUtf8(L"no \"Version\" tab in the sheet \"" + windowText(sheet) + L"\" (tabs: " + tabs + L")\n");
        return 1;
    }
    PropSheet_SetCurSel(sheet, nullptr, index);
    HWND page = PropSheet_GetCurrentPageHwnd(sheet);
    if (!page) {
        fwprintf(stderr, L"shellhost: the \"Version\" tab has no page window\n");
        return 1;
    }
    printUtf8(L"\"Version\" tab " + std::to_wstring(index + 1) + L" of the sheet \"" + windowText(sheet) +
              L"\" (tabs: " + tabs + L")\n" + describePage(page));
    if (options.screenshot.empty()) return 0;

    std::wstring path = toWindowsPath(options.screenshot);
    Picture picture;
    if (!captureWindow(sheet, &picture)) {
        fwprintf(stderr, L"shellhost: could not copy the sheet off the screen\n");
        return 1;
    }
    if (!savePicture(picture, path)) {
        fwprintf(stderr, L"shellhost: could not write %ls\n", path.c_str());
        return 1;
    }
    printUtf8(L"picture of the sheet (" + std::to_wstring(picture.width) + L"x" + std::to_wstring(picture.height) +
              L") saved to " + path + L"\n");
    return 0;
}

// The file's parent folder and its item, as Explorer holds them.
struct ShellItem {
    PIDLIST_ABSOLUTE pidl = nullptr;
    ComPtr<IShellFolder> folder;
    PCUITEMID_CHILD child = nullptr;
    ~ShellItem() { CoTaskMemFree(pidl); }
    HRESULT open(const std::wstring& path) {
        HRESULT hr = SHParseDisplayName(path.c_str(), nullptr, &pidl, 0, nullptr);
        if (SUCCEEDED(hr)) hr = SHBindToParent(pidl, IID_IShellFolder, outPtr(folder), &child);
        if (FAILED(hr)) fwprintf(stderr, L"shellhost: the shell does not know %ls: %ls\n", path.c_str(),
                                 hresultText(hr).c_str());
        return hr;
    }
    template <typename T>
    HRESULT uiObject(REFIID riid, ComPtr<T>& object) {
        HRESULT hr = folder->GetUIObjectOf(nullptr, 1, &child, riid, nullptr, outPtr(object));
        if (FAILED(hr)) fwprintf(stderr, L"shellhost: GetUIObjectOf failed: %ls\n", hresultText(hr).c_str());
        return hr;
    }
};

BOOL CALLBACK keepPage(HPROPSHEETPAGE page, LPARAM lParam) {
    reinterpret_cast<std::vector<HPROPSHEETPAGE>*>(lParam)->push_back(page);
    return TRUE;
}

// A sheet that is only read is made without WS_VISIBLE.
int CALLBACK hideSheet(HWND, UINT message, LPARAM lParam) {
    if (message == PSCB_PRECREATE && lParam) {
        auto* words = reinterpret_cast<WORD*>(lParam);
        // DLGTEMPLATEEX (signature 0xFFFF) keeps its style after helpID and exStyle.
        DWORD* style = words[1] == 0xFFFF ? reinterpret_cast<DWORD*>(words + 6) : reinterpret_cast<DWORD*>(words);
        *style &= ~WS_VISIBLE;
    }
    return 0;
}

void pumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Cancel, as a user would; the sheet's owner then destroys it.
void closeModeless(HWND sheet) {
    PropSheet_PressButton(sheet, PSBTN_CANCEL);
    for (int i = 0; i < 200 && PropSheet_GetCurrentPageHwnd(sheet); ++i) {
        pumpMessages();
        Sleep(5);
    }
    DestroyWindow(sheet);
    pumpMessages();
}

int runInHostSheet(Host& host, const VersionOptions& options, const std::wstring& path) {
    ShellItem item;
    if (FAILED(item.open(path))) return 1;
    ComPtr<IDataObject> data;
    if (FAILED(item.uiObject(IID_IDataObject, data))) return 1;
    ComPtr<IShellExtInit> init;
    if (FAILED(host.createObject(IID_IShellExtInit, outPtr(init)))) return 1;
    HRESULT hr = init->Initialize(item.pidl, data.get(), nullptr);
    data.reset();
    ComPtr<IShellPropSheetExt> ext;
    if (hr == S_OK) hr = init->QueryInterface(IID_IShellPropSheetExt, outPtr(ext));
    init.reset();
    if (hr != S_OK) {
        printUtf8(L"the object refused the file: " + hresultText(hr) + L"\n");
        return 1;
    }
    std::vector<HPROPSHEETPAGE> pages;
    hr = ext->AddPages(keepPage, reinterpret_cast<LPARAM>(&pages));
    ext.reset();  // the shell lets go here; each page keeps its own reference
    if (hr != S_OK || pages.empty()) {
        printUtf8(L"no \"Version\" page: AddPages returned " + hresultText(hr) + L"\n");
        return 1;
    }

    // Titled as the shell titles a file's properties.
    std::wstring caption = path.substr(path.find_last_of(L"\\/") + 1);
    PROPSHEETHEADERW header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_MODELESS | PSH_PROPTITLE | PSH_NOAPPLYNOW | (options.screenshot.empty() ? PSH_USECALLBACK : 0);
    header.pszCaption = caption.c_str();
    header.nPages = UINT(pages.size());
    header.phpage = pages.data();
    header.pfnCallback = hideSheet;
    HWND sheet = reinterpret_cast<HWND>(PropertySheetW(&header));
    if (!sheet || sheet == reinterpret_cast<HWND>(-1)) {
        fwprintf(stderr, L"shellhost: PropertySheetW failed\n");
        return 1;
    }
    pumpMessages();
    int rc = inspectSheet(sheet, options);
    closeModeless(sheet);
    return rc;
}

int runInShellSheet(const VersionOptions& options, const std::wstring& path) {
    ShellItem item;
    if (FAILED(item.open(path))) return 1;
    ComPtr<IContextMenu> menu;
    if (FAILED(item.uiObject(IID_IContextMenu, menu))) return 1;

    // The shell's sheet is modal: it runs inside InvokeCommand on this thread,
    // so another thread finds it, reads it and closes it.
    std::atomic<bool> returned{false};
    int rc = 1;
    bool found = false;
    std::thread watcher([&] {
        for (int waited = 0; waited < 30000 && !returned; waited += 50) {
            HWND sheet = FindWindowW(L"#32770", nullptr);
            for (; sheet; sheet = FindWindowExW(nullptr, sheet, L"#32770", nullptr)) {
                DWORD pid = 0;
                GetWindowThreadProcessId(sheet, &pid);
                if (pid == GetCurrentProcessId() && IsWindowVisible(sheet) && PropSheet_GetTabControl(sheet)) break;
            }
            if (!sheet) {
                Sleep(50);
                continue;
            }
            found = true;
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);  // for the picture's encoder
            rc = inspectSheet(sheet, options);
            CoUninitialize();
            PropSheet_PressButton(sheet, PSBTN_CANCEL);
            // Without a message to wake it, the modal loop may never notice.
            PostMessageW(sheet, WM_NULL, 0, 0);
            return;
        }
    });
    CMINVOKECOMMANDINFO invoke = {};
    invoke.cbSize = sizeof(invoke);
    invoke.lpVerb = "properties";
    invoke.nShow = SW_SHOWNORMAL;
    HRESULT hr = menu->InvokeCommand(&invoke);
    returned = true;
    watcher.join();
    if (FAILED(hr)) {
        fwprintf(stderr, L"shellhost: the \"properties\" verb failed: %ls\n", hresultText(hr).c_str());
        return 1;
    }
    if (!found) printUtf8(L"the shell showed no property sheet\n");
    return rc;
}

int runVersion(Host& host, const std::vector<std::wstring>& args) {
    VersionOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == L"--screenshot" && i + 1 < args.size()) {
            options.screenshot = args[++i];
        } else if (args[i] == L"--shell") {
            options.throughShell = true;
        } else if (options.jar.empty() && args[i][0] != L'-') {
            options.jar = args[i];
        } else {
            return failUsage(L"version takes one JAR, --shell and --screenshot FILE");
        }
    }
    if (options.jar.empty()) return failUsage(L"version needs a JAR");
    wchar_t full[MAX_PATH];
    std::wstring path = toWindowsPath(options.jar);
    if (GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr)) path = full;

    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    return options.throughShell ? runInShellSheet(options, path) : runInHostSheet(host, options, path);
}

CommandRegistrar registrar({L"version", L"JAR [--shell] [--screenshot F]",
                            L"read the Version page back (F: .png or .bmp picture of it)", runVersion});

}  // namespace
