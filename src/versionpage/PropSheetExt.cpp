#include "versionpage/PropSheetExt.h"

STDMETHODIMP velShellPropSheetExt::AddPages(LPFNSVADDPROPSHEETPAGE, LPARAM) { return E_NOTIMPL; }

STDMETHODIMP velShellPropSheetExt::ReplacePage(EXPPS, LPFNSVADDPROPSHEETPAGE, LPARAM) { return E_NOTIMPL; }
