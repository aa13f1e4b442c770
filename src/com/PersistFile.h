#pragma once
#include "com/InterfaceObject.h"

// IPersistFile: the shell hands over the archive's path through Load.
class velPersistFile final : public InterfaceObject<IPersistFile> {
public:
    using InterfaceObject::InterfaceObject;

    STDMETHODIMP GetClassID(CLSID* pClassID) override;
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP Load(LPCOLESTR pszFileName, DWORD dwMode) override;
    STDMETHODIMP Save(LPCOLESTR pszFileName, BOOL fRemember) override;
    STDMETHODIMP SaveCompleted(LPCOLESTR pszFileName) override;
    STDMETHODIMP GetCurFile(LPOLESTR* ppszFileName) override;
};
