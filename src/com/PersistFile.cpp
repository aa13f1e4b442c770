#include "com/PersistFile.h"

#include "diag/Log.h"

STDMETHODIMP velPersistFile::GetClassID(CLSID*) { return E_NOTIMPL; }
STDMETHODIMP velPersistFile::IsDirty() { return E_NOTIMPL; }
STDMETHODIMP velPersistFile::Save(LPCOLESTR, BOOL) { return E_NOTIMPL; }
STDMETHODIMP velPersistFile::SaveCompleted(LPCOLESTR) { return E_NOTIMPL; }
STDMETHODIMP velPersistFile::GetCurFile(LPOLESTR*) { return E_NOTIMPL; }

STDMETHODIMP velPersistFile::Load(LPCOLESTR pszFileName, DWORD) {
    char* name = pJarIcon->szFileName;
    int n = pszFileName ? WideCharToMultiByte(CP_ACP, 0, pszFileName, -1, name, MAX_PATH, nullptr, nullptr) : 0;
    // A path whose ANSI form does not fit is not cut off: a truncated path could
    // name a different archive that happens to exist. The object then holds no path.
    if (n == 0) name[0] = '\0';
    logPrintf("IPersistFile::Load. name:\"%s\"", name);
    return S_OK;
}
