#include "com/ClassFactory.h"

#include <new>

#include "com/JarIconObj.h"
#include "com/Module.h"
#include "diag/Log.h"
#include "properties/PropertyStore.h"

namespace {

HRESULT createJarIcon(REFIID riid, void** ppv) {
    JarIconObj* obj = new (std::nothrow) JarIconObj();
    if (obj == nullptr) return E_OUTOFMEMORY;
    if (SUCCEEDED(obj->QueryInterface(riid, ppv))) return S_OK;
    delete obj;
    return E_NOINTERFACE;
}

}  // namespace

JarIconClassFactory g_classFactory(createJarIcon);
JarIconClassFactory g_propertiesFactory(createJarPropertyStore);

STDMETHODIMP JarIconClassFactory::QueryInterface(REFIID riid, void** ppv) {
    logGuid("JarIconClassFactory::QueryInterface", riid);
    if (sameGuid(riid, IID_IUnknown) || sameGuid(riid, IID_IClassFactory)) {
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

// The factory is shared by every apartment of the process, so its count moves
// only by interlocked operations.
STDMETHODIMP_(ULONG) JarIconClassFactory::AddRef() { return InterlockedIncrement(&cRef); }

STDMETHODIMP_(ULONG) JarIconClassFactory::Release() { return InterlockedDecrement(&cRef); }

STDMETHODIMP JarIconClassFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) {
    logGuid("CreateInstance", riid);
    if (pUnkOuter != nullptr) return CLASS_E_NOAGGREGATION;
    if (!ppv) return E_POINTER;
    return create_(riid, ppv);
}

STDMETHODIMP JarIconClassFactory::LockServer(BOOL fLock) {
    if (fLock)
        InterlockedIncrement(&g_cDllRef);
    else
        InterlockedDecrement(&g_cDllRef);
    return S_OK;
}
