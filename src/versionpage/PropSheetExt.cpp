#include "versionpage/PropSheetExt.h"

#include "base/Holder.h"
#include "diag/Config.h"
#include "infotip/Description.h"
#include "text/LocaleNames.h"

#include <cstddef>

#include "com/Module.h"
#include "versionpage/VersionPage.h"
#include "versionpage/VersionPageIds.h"

namespace {
// The page description is handed over in the size that every shell since
// Windows 2000 reads: up to and including pszHeaderSubTitle. The fields are
// pointers from hInstance on, so the size follows the pointer size.
constexpr UINT kPageDescriptionSize = offsetof(PROPSHEETPAGEW, pszHeaderSubTitle) + sizeof(LPCWSTR);
static_assert(kPageDescriptionSize == (sizeof(void*) == 4 ? 48 : 88), "page description up to pszHeaderSubTitle");
}  // namespace

STDMETHODIMP velShellPropSheetExt::AddPages(LPFNSVADDPROPSHEETPAGE pfnAddPage, LPARAM lParam) {
    loadVersionList();
    // No member, an unreadable one, or one without a single usable line: no
    // page. An empty list stays, so the member is not read again for nothing.
    if (versionLineCount(pVersionList) == 0) return E_FAIL;
    HPROPSHEETPAGE page = createVersionPage();
    if (!page) return E_FAIL;
    if (pfnAddPage && pfnAddPage(page, lParam)) return S_OK;
    // Destroying the refused page runs its release callback, which gives back
    // the reference the page took: the count ends where it was.
    DestroyPropertySheetPage(page);
    return E_FAIL;
}

STDMETHODIMP velShellPropSheetExt::ReplacePage(EXPPS, LPFNSVADDPROPSHEETPAGE, LPARAM) { return E_NOTIMPL; }

void velShellPropSheetExt::loadVersionList() {
    if (pVersionList) return;
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    CorePtr<char> locale(userLocaleName());
    VersionPageContent content;
    readVersionPage(pJarIcon->path(), locale ? locale.get() : TIP_FALLBACK_LOCALE, isStandardMetadataOn(), &content);
    pVersionList = content.list;
    for (size_t i = 0; i < 3; ++i) pszFieldValues[i] = content.fields[i];
    bDerivedPage = content.derived;
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

HPROPSHEETPAGE velShellPropSheetExt::createVersionPage() {
    PROPSHEETPAGEW description;
    ZeroMemory(&description, sizeof(description));
    description.dwSize = kPageDescriptionSize;
    // No title of its own: the tab shows the template's caption.
    description.dwFlags = PSP_USECALLBACK;
    description.pszTemplate = MAKEINTRESOURCEW(IDD_VERSIONPAGE);
    description.pfnDlgProc = versionPageDialogProc;
    description.lParam = reinterpret_cast<LPARAM>(this);
    description.pfnCallback = versionPageCallback;

    // The shell's own template 1043 comes first, so the page looks like the
    // shell's other pages. Creating a page never loads its template: a shell
    // library without one (Wine's has none, and no Windows version promises
    // it) would give a page that the sheet later shows broken or silently
    // leaves out, so the template is looked for before it is used. The shell
    // library stays loaded for the life of the process.
    HPROPSHEETPAGE page = nullptr;
    HMODULE shell = LoadLibraryA("shell32");
    if (shell && FindResourceA(shell, MAKEINTRESOURCEA(IDD_VERSIONPAGE), RT_DIALOG)) {
        description.hInstance = shell;
        page = CreatePropertySheetPageW(&description);
    }
    if (!page) {
        description.hInstance = g_hInstance;
        page = CreatePropertySheetPageW(&description);
    }
    if (!page) return nullptr;
    InterlockedIncrement(&cPages);
    AddRef();
    return page;
}

void velShellPropSheetExt::releaseVersionPage() {
    if (InterlockedDecrement(&cPages) == 0) freePageContent();
    Release();  // last: it may destroy the object and this interface object with it
}

void velShellPropSheetExt::freePageContent() {
    VersionPageContent content = {pVersionList, {pszFieldValues[0], pszFieldValues[1], pszFieldValues[2]}, false};
    freeVersionPageContent(&content);
    pVersionList = nullptr;
    for (WChar*& field : pszFieldValues) field = nullptr;
    bDerivedPage = false;
}
