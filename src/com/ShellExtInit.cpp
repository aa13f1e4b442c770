#include "com/ShellExtInit.h"

#include <shellapi.h>

#include "base/CoreAlloc.h"
#include "base/Holder.h"
#include "base/WinHolders.h"
#include "diag/Log.h"

STDMETHODIMP velShellExtInit::Initialize(PCIDLIST_ABSOLUTE, IDataObject* pdtobj, HKEY) {
    if (pdtobj == nullptr) return E_INVALIDARG;

    FORMATETC format = makeDropFormat();
    StgMediumHolder medium;
    if (pdtobj->GetData(&format, medium.put()) != S_OK) return E_UNEXPECTED;

    logText("ShellExtInit::Initialize");
    HDROP hdrop = static_cast<HDROP>(medium.get().hGlobal);
    if (DragQueryFileW(hdrop, 0xFFFFFFFF, nullptr, 0) != 1) {
        logText("IShellExtInit::Initialize. not only one file -> exit");
        return E_FAIL;
    }
    // The name's length first, then the name: any length the drop carries.
    // It is fetched into a buffer of its own, so a failure leaves the former path.
    UINT units = DragQueryFileW(hdrop, 0, nullptr, 0);
    if (units == 0 || units > JarIconObj::kMaxPathUnits) return E_FAIL;
    CorePtr<wchar_t> path(coreAllocArray<wchar_t>(size_t(units) + 1));
    if (!path || DragQueryFileW(hdrop, 0, path.get(), units + 1) != units) return E_FAIL;
    return pJarIcon->setPath(path.get()) ? S_OK : E_OUTOFMEMORY;
}
