#pragma once
#include <shlobj.h>

#include "com/InterfaceObject.h"

// IExtractIconA: the icon handler of the jar file type.
class velExtractIcon final : public InterfaceObject<IExtractIconA> {
public:
    explicit velExtractIcon(JarIconObj* owner);

    STDMETHODIMP GetIconLocation(UINT uFlags, PSTR pszIconFile, UINT cchMax, int* piIndex, UINT* pwFlags) override;
    STDMETHODIMP Extract(PCSTR pszFile, UINT nIconIndex, HICON* phiconLarge, HICON* phiconSmall,
                         UINT nIconSize) override;

    // The system version, captured when the object is built.
    OSVERSIONINFOA osvi;
};
