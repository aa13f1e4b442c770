#pragma once
// Shared helpers of the Windows test programs: the DLL under test, COM
// apartments, registry fixtures, a hand-written data object serving a file
// drop, a watchdog for message boxes, and the debug log file.
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "com/ClassIdentity.h"

// Morvane.dll as the shell loads it: by path, beside the test program.
class DllUnderTest {
public:
    DllUnderTest();
    ~DllUnderTest();
    HMODULE module() const { return module_; }
    HRESULT getClassObject(REFCLSID clsid, REFIID riid, void** ppv) const;
    HRESULT canUnloadNow() const;
    HRESULT registerServer() const;
    HRESULT unregisterServer() const;
    // A new object through the class factory, asked for riid.
    HRESULT createObject(REFIID riid, void** ppv) const;
    // A new object given path (ANSI, converted to UTF-16) with IPersistFile::Load.
    HRESULT createLoaded(const std::string& path, REFIID riid, void** ppv) const;
    HRESULT createLoaded(const std::wstring& path, REFIID riid, void** ppv) const;
    std::string path() const;

private:
    HMODULE module_;
};

// The one DLL instance shared by a test program.
DllUnderTest& dll();

extern const CLSID kClsidJarIcon;

struct OleApartment {
    OleApartment() { OleInitialize(nullptr); }
    ~OleApartment() { OleUninitialize(); }
};

// Registry helpers (HKEY_CLASSES_ROOT unless a root is given).
void setRegistryValue(HKEY root, const std::string& key, const char* name, DWORD type, const void* data,
                      DWORD size);
void setRegistryString(HKEY root, const std::string& key, const char* name, const std::string& text);
void deleteRegistryValue(HKEY root, const std::string& key, const char* name);
void deleteRegistryTree(HKEY root, const std::string& key);
bool registryKeyExists(HKEY root, const std::string& key);
// Type and raw bytes of a value; false when it does not exist.
bool queryRegistryValue(HKEY root, const std::string& key, const char* name, DWORD* type, std::string* bytes);
void setConfigString(const char* name, const std::string& text);
void deleteConfigValue(const char* name);

// A data object that serves a DROPFILES block (ANSI or wide) for CF_HDROP in
// global memory, or refuses everything when offerDrop is false.
class DropDataObject : public IDataObject {
public:
    static DropDataObject* createAnsi(const std::vector<std::string>& names);
    static DropDataObject* createWide(const std::vector<std::wstring>& names);
    static DropDataObject* createEmpty();   // answers no format at all
    // A block whose list offset (pFiles) is 0.
    static DropDataObject* createWithoutList(bool wide);
    // Serves exactly these bytes (nullopt: a null memory handle) with a release
    // object in the medium, so a test can count how often the medium is released.
    static DropDataObject* createWatched(const std::optional<std::string>& block);
    int mediumReleases() const { return releases_; }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override;
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC* format) override;
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

    int getDataCalls = 0;

private:
    // The medium's release object: ReleaseStgMedium calls its Release.
    class ReleaseCounter : public IUnknown {
    public:
        explicit ReleaseCounter(DropDataObject* owner) : owner_(owner) {}
        STDMETHODIMP QueryInterface(REFIID, void** ppv) override {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        STDMETHODIMP_(ULONG) AddRef() override { return 2; }
        STDMETHODIMP_(ULONG) Release() override {
            ++owner_->releases_;
            return 1;
        }

    private:
        DropDataObject* owner_;
    };

    DropDataObject() = default;
    ~DropDataObject();
    LONG ref_ = 1;
    bool offerDrop_ = true;
    std::optional<std::string> block_;  // the DROPFILES block bytes
    bool watched_ = false;
    int releases_ = 0;
    ReleaseCounter counter_{this};
    std::vector<HGLOBAL> handedOut_;  // freed here when a release object stands in for the owner
};

// Watches for a top-level window with the given caption on any thread of this
// process (or of any process), records the text of its static control, and
// closes it. A wizard names each page after the caption ("... Setup:
// Installation Folder"): with captionPrefix, any title that starts with the
// caption is watched.
class MessageBoxWatchdog {
public:
    explicit MessageBoxWatchdog(const std::wstring& caption, bool anyProcess = false, bool captionPrefix = false);
    ~MessageBoxWatchdog();
    int count() const { return count_; }
    std::wstring lastText() const;
    std::vector<std::wstring> texts() const;

private:
    void run();
    std::wstring caption_;
    bool anyProcess_;
    bool captionPrefix_;
    std::atomic<bool> stop_{false};
    std::atomic<int> count_{0};
    mutable std::mutex mutex_;
    std::vector<std::wstring> texts_;
    std::thread thread_;
};

// The debug log c:\morvane.log.
std::string readLogFile();
void deleteLogFile();
std::vector<std::string> readLogLines();

std::wstring widen(const std::string& utf8);
std::string narrow(const std::wstring& text);  // to UTF-8
