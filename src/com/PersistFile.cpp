#include "com/PersistFile.h"

#include "diag/Log.h"

STDMETHODIMP velPersistFile::GetClassID(CLSID*) { return E_NOTIMPL; }
STDMETHODIMP velPersistFile::IsDirty() { return E_NOTIMPL; }
STDMETHODIMP velPersistFile::Save(LPCOLESTR, BOOL) { return E_NOTIMPL; }
STDMETHODIMP velPersistFile::SaveCompleted(LPCOLESTR) { return E_NOTIMPL; }
STDMETHODIMP velPersistFile::GetCurFile(LPOLESTR*) { return E_NOTIMPL; }

STDMETHODIMP velPersistFile::Load(LPCOLESTR pszFileName, DWORD) {
    // The path is kept as the shell gives it; a path longer than any Windows
    // path is not cut off (it could name another archive): the object then
    // holds no path.
    pJarIcon->setPath(pszFileName);
    logPrintf("IPersistFile::Load. name:\"%s\"", pJarIcon->szFileName);
    return S_OK;
}
