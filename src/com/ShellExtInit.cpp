#include "com/ShellExtInit.h"

#include <shellapi.h>

#include "base/WinHolders.h"
#include "diag/Log.h"

STDMETHODIMP velShellExtInit::Initialize(PCIDLIST_ABSOLUTE, IDataObject* pdtobj, HKEY) {
    if (pdtobj == nullptr) return E_INVALIDARG;

    FORMATETC format = makeDropFormat();
    StgMediumHolder medium;
    if (pdtobj->GetData(&format, medium.put()) != S_OK) return E_UNEXPECTED;

    logText("ShellExtInit::Initialize");
    HDROP hdrop = static_cast<HDROP>(medium.get().hGlobal);
    if (DragQueryFileA(hdrop, 0xFFFFFFFF, nullptr, 0) != 1) {
        logText("IShellExtInit::Initialize. not only one file -> exit");
        return E_FAIL;
    }
    // Fetched into a local buffer first, so that a failure leaves the former path.
    char path[MAX_PATH];
    if (DragQueryFileA(hdrop, 0, path, MAX_PATH) == 0) return E_FAIL;
    memcpy(pJarIcon->szFileName, path, sizeof(path));
    return S_OK;
}
