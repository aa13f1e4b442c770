#pragma once
#include <shlobj.h>

#include "com/InterfaceObject.h"

// IShellExtInit: the property-sheet handler receives the selection here.
class velShellExtInit final : public InterfaceObject<IShellExtInit> {
public:
    using InterfaceObject::InterfaceObject;

    STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE pidlFolder, IDataObject* pdtobj, HKEY hkeyProgID) override;
};
