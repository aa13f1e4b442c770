#pragma once
#include <windows.h>
#include <ole2.h>

// The module's class factories, one per class: static objects that live from
// load to unload and are never freed.
class JarIconClassFactory : public IClassFactory {
public:
    using Create = HRESULT (*)(REFIID riid, void** ppv);
    explicit constexpr JarIconClassFactory(Create create) : create_(create) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override;
    STDMETHODIMP LockServer(BOOL fLock) override;

    LONG referenceCount() const { return cRef; }

private:
    Create create_;
    LONG cRef = 0;
};

// The shell extension's factory, and the property handler's.
extern JarIconClassFactory g_classFactory;
extern JarIconClassFactory g_propertiesFactory;
