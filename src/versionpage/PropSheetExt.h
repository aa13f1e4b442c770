#pragma once
#include <shlobj.h>

#include "com/InterfaceObject.h"
#include "versionpage/VersionFile.h"

// IShellPropSheetExt: the "Version" page of a jar's properties.
class velShellPropSheetExt final : public InterfaceObject<IShellPropSheetExt> {
public:
    using InterfaceObject::InterfaceObject;
    ~velShellPropSheetExt() { freeVersionList(&pVersionList); }

    STDMETHODIMP AddPages(LPFNSVADDPROPSHEETPAGE pfnAddPage, LPARAM lParam) override;
    STDMETHODIMP ReplacePage(EXPPS uPageID, LPFNSVADDPROPSHEETPAGE pfnReplaceWith, LPARAM lParam) override;

    // Lives as long as the page, whose list box points into it.
    VersionList* pVersionList = nullptr;
};
