#pragma once
// The shell-extension object. It holds the archive's path and the reference
// count and owns one separately allocated object per interface.
#include <windows.h>
#include <ole2.h>

class velPersistFile;
class velExtractIcon;
class velQueryInfo;
class velDropTarget;
class velShellExtInit;
class velShellPropSheetExt;

class JarIconObj final : public IUnknown {
public:
    JarIconObj();
    ~JarIconObj();
    JarIconObj(const JarIconObj&) = delete;
    JarIconObj& operator=(const JarIconObj&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // The archive's path in the ANSI code page; empty until Load or Initialize.
    char szFileName[MAX_PATH];
    LONG cRef;
    velPersistFile* pPersistFile;
    velExtractIcon* pExtractIcon;
    velQueryInfo* pQueryInfo;
    velDropTarget* pDropTarget;
    velShellExtInit* pShellExtInit;
    velShellPropSheetExt* pShellPropSheetExt;
};
