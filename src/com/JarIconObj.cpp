#include "com/JarIconObj.h"

#include <shlobj.h>

#include <new>

#include "base/CoreAlloc.h"
#include "base/Holder.h"
#include "com/Module.h"
#include "com/PersistFile.h"
#include "com/ShellExtInit.h"
#include "diag/Log.h"
#include "icon/ExtractIcon.h"
#include "infotip/QueryInfo.h"
#include "launch/DropTarget.h"
#include "versionpage/PropSheetExt.h"

namespace {

// The interfaces the object answers for, in the order they are compared; the
// first match decides.
struct InterfaceEntry {
    const IID* riid;
    const char* label;
    IUnknown* (*get)(JarIconObj* obj);
};

template <typename T>
IUnknown* asUnknown(T* p) {
    return p;  // null stays null: a missing interface object
}

const InterfaceEntry kInterfaces[] = {
    {&IID_IUnknown, "QueryInterface:IID_IUnknown", [](JarIconObj* o) -> IUnknown* { return o; }},
    {&CLSID_JarIcon, "QueryInterface:CLSID_JarIcon", [](JarIconObj* o) -> IUnknown* { return o; }},
    {&IID_IPersistFile, "QueryInterface:IID_IPersistFile",
     [](JarIconObj* o) { return asUnknown(o->pPersistFile); }},
    {&IID_IQueryInfo, "QueryInterface:IID_IQueryInfo", [](JarIconObj* o) { return asUnknown(o->pQueryInfo); }},
    {&IID_IDropTarget, "QueryInterface:IID_IDropTarget", [](JarIconObj* o) { return asUnknown(o->pDropTarget); }},
    {&IID_IExtractIconA, "QueryInterface:IID_IExtractIcon",
     [](JarIconObj* o) { return asUnknown(o->pExtractIcon); }},
    {&IID_IShellExtInit, "QueryInterface:IID_IShellExtInit",
     [](JarIconObj* o) { return asUnknown(o->pShellExtInit); }},
    {&IID_IShellPropSheetExt, "QueryInterface:IID_IShellPropSheetExt",
     [](JarIconObj* o) { return asUnknown(o->pShellPropSheetExt); }},
};

}  // namespace

JarIconObj::JarIconObj() : pwszFileName(nullptr), cRef(0) {
    szFileName[0] = '\0';
    InterlockedIncrement(&g_cDllRef);
    // A failed allocation leaves that interface missing; the others still work.
    pPersistFile = new (std::nothrow) velPersistFile(this);
    pExtractIcon = new (std::nothrow) velExtractIcon(this);
    pQueryInfo = new (std::nothrow) velQueryInfo(this);
    pDropTarget = new (std::nothrow) velDropTarget(this);
    pShellExtInit = new (std::nothrow) velShellExtInit(this);
    pShellPropSheetExt = new (std::nothrow) velShellPropSheetExt(this);
}

JarIconObj::~JarIconObj() {
    InterlockedDecrement(&g_cDllRef);
    delete pPersistFile;
    delete pExtractIcon;
    delete pQueryInfo;
    delete pDropTarget;
    delete pShellExtInit;
    delete pShellPropSheetExt;  // releases a version list still held
    coreFree(pwszFileName);
}

bool JarIconObj::setPath(const wchar_t* path) {
    coreFree(pwszFileName);
    pwszFileName = nullptr;
    szFileName[0] = '\0';
    size_t units = 0;
    while (path && path[units] && units <= kMaxPathUnits) ++units;
    if (!path || units > kMaxPathUnits) return false;
    pwszFileName = coreAllocArray<wchar_t>(units + 1);
    if (!pwszFileName) return false;
    memcpy(pwszFileName, path, (units + 1) * sizeof(wchar_t));
    // The log line's form, whatever the code page lacks; its start when long.
    CorePtr<char> ansi(coreAllocArray<char>(units * 4 + 1));
    int n = ansi ? WideCharToMultiByte(CP_ACP, 0, path, static_cast<int>(units), ansi.get(),
                                       static_cast<int>(units * 4), nullptr, nullptr)
                 : 0;
    size_t kept = n > 0 ? (static_cast<size_t>(n) < MAX_PATH ? static_cast<size_t>(n) : MAX_PATH - 1) : 0;
    if (kept) memcpy(szFileName, ansi.get(), kept);
    szFileName[kept] = '\0';
    return true;
}

STDMETHODIMP JarIconObj::QueryInterface(REFIID riid, void** ppv) {
    *ppv = nullptr;
    for (const InterfaceEntry& entry : kInterfaces) {
        if (!sameGuid(riid, *entry.riid)) continue;
        logGuid(entry.label, riid);
        *ppv = entry.get(this);
        break;
    }
    if (*ppv != nullptr) {
        AddRef();
        return S_OK;
    }
    logGuid("QueryInterface (Failed -> Not implemented)", riid);
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) JarIconObj::AddRef() { return InterlockedIncrement(&cRef); }

STDMETHODIMP_(ULONG) JarIconObj::Release() {
    LONG r = InterlockedDecrement(&cRef);
    if (r != 0) return r;
    delete this;
    return 0;
}
