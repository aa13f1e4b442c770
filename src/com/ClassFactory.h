#pragma once
#include <windows.h>
#include <ole2.h>

// The module's one class factory: a static object that lives from load to
// unload and is never freed.
class JarIconClassFactory : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override;
    STDMETHODIMP LockServer(BOOL fLock) override;

    LONG referenceCount() const { return cRef; }

private:
    LONG cRef = 0;
};

extern JarIconClassFactory g_classFactory;
