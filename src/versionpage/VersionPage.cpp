#include "versionpage/VersionPage.h"

#include "com/Module.h"
#include "versionpage/PropSheetExt.h"
#include "versionpage/VersionPageIds.h"

namespace {

// The list box that replaces the template's: a client edge and both scroll
// bars, items in file order (no LBS_SORT).
constexpr DWORD kItemListStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP |
                                 LBS_NOINTEGRALHEIGHT | LBS_NOTIFY;
constexpr DWORD kItemListExStyle = WS_EX_CLIENTEDGE | WS_EX_NOPARENTNOTIFY;
static_assert(kItemListStyle == 0x50B10101, "the item list's styles");

int fieldControl(VersionField field) {
    switch (field) {
        case kFileVersionField:
            return IDC_VERSION_FILEVERSION;
        case kDescriptionField:
            return IDC_VERSION_DESCRIPTION;
        case kCopyrightField:
            return IDC_VERSION_COPYRIGHT;
        default:
            return 0;
    }
}

void replaceItemList(HWND dialog) {
    HWND old = GetDlgItem(dialog, IDC_VERSION_ITEMS);
    if (!old) return;
    RECT rect;
    GetWindowRect(old, &rect);
    MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&rect), 2);
    DestroyWindow(old);
    HWND list = CreateWindowExA(kItemListExStyle, "LISTBOX", "", kItemListStyle, rect.left - 1, rect.top - 1,
                                rect.right - rect.left + 2, rect.bottom - rect.top + 2, dialog,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_VERSION_ITEMS)), g_hInstance,
                                nullptr);
    if (!list) return;
    SendMessageW(list, WM_SETFONT, SendMessageW(dialog, WM_GETFONT, 0, 0), TRUE);
    // Tabbing runs from the list to the value again.
    SetWindowPos(GetDlgItem(dialog, IDC_VERSION_VALUE), list, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void showSelectedValue(HWND dialog, HWND list) {
    LRESULT index = SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (index < 0) return;
    LRESULT data = SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(index), 0);
    const WCHAR* value = data == LB_ERR ? nullptr : reinterpret_cast<const WCHAR*>(data);
    SetDlgItemTextW(dialog, IDC_VERSION_VALUE, value ? value : L"");
}

}  // namespace

UINT CALLBACK versionPageCallback(HWND, UINT uMsg, LPPROPSHEETPAGEW ppsp) {
    if (!ppsp) return 0;
    if (uMsg == PSPCB_RELEASE) {
        auto* ext = reinterpret_cast<velShellPropSheetExt*>(ppsp->lParam);
        if (!ext) return 0;
        ext->releaseVersionPage();
    }
    // PSPCB_CREATE: 1 lets the sheet make the page's dialog.
    return 1;
}

INT_PTR CALLBACK versionPageDialogProc(HWND hwndDlg, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    switch (uMsg) {
        case WM_INITDIALOG:
            SetWindowLongPtrW(hwndDlg, GWLP_USERDATA, lParam);  // the sheet's copy of the page description
            replaceItemList(hwndDlg);
            return TRUE;
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (!header) return FALSE;
            if (header->code == static_cast<UINT>(PSN_SETACTIVE)) {
                auto* page = reinterpret_cast<const PROPSHEETPAGEW*>(GetWindowLongPtrW(hwndDlg, GWLP_USERDATA));
                if (page) fillVersionPage(hwndDlg, reinterpret_cast<velShellPropSheetExt*>(page->lParam));
            }
            return FALSE;  // lets the page become active
        }
        case WM_COMMAND:
            if (LOWORD(wParam) != IDC_VERSION_ITEMS || HIWORD(wParam) != LBN_SELCHANGE) return FALSE;
            showSelectedValue(hwndDlg, reinterpret_cast<HWND>(lParam));
            return TRUE;
        default:
            return FALSE;
    }
}

void fillVersionPage(HWND hwndDlg, velShellPropSheetExt* ext) {
    if (!ext) return;
    ext->loadVersionList();
    if (versionLineCount(ext->pVersionList) == 0) return;
    HWND list = GetDlgItem(hwndDlg, IDC_VERSION_ITEMS);
    // Filled once, at the first activation; coming back to the page adds nothing.
    if (SendMessageW(list, LB_GETCOUNT, 0, 0) > 0) return;

    for (VersionList* line = ext->pVersionList; *line; ++line) {
        VersionItem item = splitVersionLine(*line);
        // The name is cut off at its "=" only while the list and the fields
        // take their copies; the line is left whole, so another page of the
        // same list reads it just the same.
        WChar* equals = item.value ? item.value - 1 : nullptr;
        if (equals) *equals = 0;
        LRESULT index = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(*line));
        if (index >= 0)
            SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(item.value));
        if (equals) *equals = '=';
    }
    for (size_t i = 0; i < 3; ++i) {
        VersionField field = kVersionFields[i];
        // A page of standard metadata has its fields' texts apart.
        if (ext->bDerivedPage) {
            SetDlgItemTextW(hwndDlg, fieldControl(field), ext->pszFieldValues[i] ? ext->pszFieldValues[i] : L"");
            continue;
        }
        int line = versionFieldLine(ext->pVersionList, field);
        if (line < 0) continue;
        WChar* value = splitVersionLine(ext->pVersionList[line]).value;
        SetDlgItemTextW(hwndDlg, fieldControl(field), value ? value : L"");
    }
    SendMessageW(list, LB_SETCURSEL, 0, 0);
    SendMessageW(hwndDlg, WM_COMMAND, MAKEWPARAM(IDC_VERSION_ITEMS, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}
