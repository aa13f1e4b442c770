#pragma once
#include <windows.h>
#include <prsht.h>
#include <shlobj.h>

#include "com/InterfaceObject.h"
#include "versionpage/VersionFile.h"

// IShellPropSheetExt: the "Version" page of a jar's properties.
class velShellPropSheetExt final : public InterfaceObject<IShellPropSheetExt> {
public:
    using InterfaceObject::InterfaceObject;
    ~velShellPropSheetExt() { freePageContent(); }

    STDMETHODIMP AddPages(LPFNSVADDPROPSHEETPAGE pfnAddPage, LPARAM lParam) override;
    STDMETHODIMP ReplacePage(EXPPS uPageID, LPFNSVADDPROPSHEETPAGE pfnReplaceWith, LPARAM lParam) override;

    // Reads the archive's page (its version member, else its standard
    // metadata) into pVersionList and pszFieldValues unless a list is already
    // there (an empty one included).
    void loadVersionList();
    // A new page that holds one reference on the object and keeps the list
    // alive until its release callback; null when none can be made.
    HPROPSHEETPAGE createVersionPage();
    // The page's release callback: frees the list once no page points into it
    // any more and gives back the page's reference. May destroy the object.
    void releaseVersionPage();

    // Lives as long as the pages, whose list boxes point into it.
    VersionList* pVersionList = nullptr;
    // The fields' texts of a page made of standard metadata; null for a page
    // of a version member, whose lines fill the fields.
    WChar* pszFieldValues[3] = {};
    bool bDerivedPage = false;
    void freePageContent();
    // Pages made by this object that still exist.
    LONG cPages = 0;
};
