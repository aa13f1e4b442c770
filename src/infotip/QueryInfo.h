#pragma once
#include <shlobj.h>

#include "com/InterfaceObject.h"

// IQueryInfo: the tooltip of a jar in the user's language.
class velQueryInfo final : public InterfaceObject<IQueryInfo> {
public:
    using InterfaceObject::InterfaceObject;

    STDMETHODIMP GetInfoTip(DWORD dwFlags, PWSTR* ppwszTip) override;
    STDMETHODIMP GetInfoFlags(DWORD* pdwFlags) override;
};
