#include "com/Module.h"

#include "com/ClassFactory.h"

HINSTANCE g_hInstance = nullptr;
LONG g_cDllRef = 0;

const CLSID CLSID_JarIcon = {0x5C2B91E4, 0x7A06, 0x4d3f, {0x9E, 0x18, 0xB4, 0x0C, 0x6A, 0x2F, 0x7D, 0x95}};

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    *ppv = nullptr;
    if (!sameGuid(rclsid, CLSID_JarIcon)) return CLASS_E_CLASSNOTAVAILABLE;
    return g_classFactory.QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow() {
    // An outstanding factory reference keeps the module loaded just as a live
    // object or a server lock does.
    return (g_cDllRef == 0 && g_classFactory.referenceCount() == 0) ? S_OK : S_FALSE;
}
