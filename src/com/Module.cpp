#include "com/Module.h"

#include "com/ClassFactory.h"

HINSTANCE g_hInstance = nullptr;
LONG g_cDllRef = 0;

const CLSID CLSID_JarIcon = CLSID_JARICON_VALUE;
const CLSID CLSID_JarProperties = CLSID_JARPROPERTIES_VALUE;

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    *ppv = nullptr;
    if (sameGuid(rclsid, CLSID_JarIcon)) return g_classFactory.QueryInterface(riid, ppv);
    if (sameGuid(rclsid, CLSID_JarProperties)) return g_propertiesFactory.QueryInterface(riid, ppv);
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() {
    // An outstanding factory reference keeps the module loaded just as a live
    // object or a server lock does.
    return (g_cDllRef == 0 && g_classFactory.referenceCount() == 0 && g_propertiesFactory.referenceCount() == 0)
               ? S_OK
               : S_FALSE;
}
