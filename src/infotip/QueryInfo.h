#pragma once
#include <shlobj.h>

#include "base/WideChar.h"
#include "com/InterfaceObject.h"

// IQueryInfo: the tooltip of a jar in the user's language.
class velQueryInfo final : public InterfaceObject<IQueryInfo> {
public:
    using InterfaceObject::InterfaceObject;

    STDMETHODIMP GetInfoTip(DWORD dwFlags, PWSTR* ppwszTip) override;
    STDMETHODIMP GetInfoFlags(DWORD* pdwFlags) override;
};

// The tip of the archive for the calling thread's locale, copied into memory of
// the given task allocator. Results: S_OK; E_OUTOFMEMORY with *ppwszTip not
// written when the archive has no description for the locale; E_OUTOFMEMORY
// with *ppwszTip null when the allocator gives no memory.
HRESULT makeInfoTip(IMalloc* allocator, const PathChar* archivePath, PWSTR* ppwszTip);
