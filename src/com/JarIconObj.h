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

    // The archive's path as the shell gave it (UTF-16), by which every feature
    // opens the jar; empty until Load or Initialize.
    const wchar_t* path() const { return pwszFileName ? pwszFileName : L""; }
    // Keeps a copy of path, and its ANSI form for the log. A path that is
    // longer than any Windows path, or no memory, leaves the object without a
    // path (false): a shortened path could name another archive.
    bool setPath(const wchar_t* path);
    // Longest path Windows opens (in its \\?\ form), in UTF-16 units.
    static constexpr size_t kMaxPathUnits = 32767;

    // The path's ANSI form, for the log line only: characters the code page
    // lacks show as "?", and a long path is cut.
    char szFileName[MAX_PATH];
    wchar_t* pwszFileName;
    LONG cRef;
    velPersistFile* pPersistFile;
    velExtractIcon* pExtractIcon;
    velQueryInfo* pQueryInfo;
    velDropTarget* pDropTarget;
    velShellExtInit* pShellExtInit;
    velShellPropSheetExt* pShellPropSheetExt;
};
