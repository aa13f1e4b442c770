#pragma once
// Helpers of the drop tests: the .jar association pointing at a program of the
// test's choice, the recording program that stands in for the Java launcher,
// the name list files in the temporary directory, and a data object whose
// medium can be watched.
#include <windows.h>
#include <ole2.h>

#include <chrono>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "win/WinTestSupport.h"

// HKCR\.jar = "jarfile" and HKCR\jarfile\shell\open\command = command for the
// holder's lifetime, or (an empty command) no program registered for .jar
// files at all. Whatever was there before is put back at the end, and what
// did not exist is removed again.
class JarAssociation {
public:
    explicit JarAssociation(const std::string& command);
    ~JarAssociation();
    JarAssociation(const JarAssociation&) = delete;
    JarAssociation& operator=(const JarAssociation&) = delete;

private:
    std::vector<std::string> createdKeys_;  // deepest last
    std::optional<std::string> dotJarDefault_;
    std::optional<std::string> commandDefault_;
};

// The folder of the test program (where the build puts its programs), with a
// trailing backslash.
std::string programFolder();
// bin\drop_recorder.exe and the open command that registers it for .jar files.
std::string recorderPath();
std::string recorderCommand();

// One start of the recording program: the file it writes to is named in the
// environment, which the program started by the drop inherits.
class CommandRecording {
public:
    CommandRecording();
    ~CommandRecording();
    // Waits (bounded) for the started program's command line.
    std::optional<std::wstring> wait(std::chrono::milliseconds limit = std::chrono::seconds(30)) const;
    // True when something has been recorded already.
    bool recorded() const;

private:
    std::string path_;
};

// The arguments as the started program's runtime splits its command line.
std::vector<std::wstring> splitCommandLine(const std::wstring& commandLine);

// Names of the files "mor*.tmp" in the temporary directory.
std::set<std::string> nameListFilesInTemp();
std::string tempFolder();  // with a trailing backslash
std::string readBinaryFile(const std::string& path);
bool fileExists(const std::string& path);

// A variable of the process environment set for the holder's lifetime.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value);  // value null: unset
    ~ScopedEnvironment();

private:
    std::string name_;
    std::optional<std::string> old_;
};

// Serves whatever a test hands it for CF_HDROP: a global memory block (or a
// null handle), and counts how often the medium it gave out was released.
class WatchedMediumDataObject : public IDataObject {
public:
    // block: the bytes of the global memory, or nullopt for a null handle.
    static WatchedMediumDataObject* create(const std::optional<std::string>& block);
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

private:
    // The medium's release object: ReleaseStgMedium calls its Release.
    class ReleaseCounter : public IUnknown {
    public:
        explicit ReleaseCounter(WatchedMediumDataObject* owner) : owner_(owner) {}
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
        WatchedMediumDataObject* owner_;
    };

    WatchedMediumDataObject() : counter_(this) {}
    ~WatchedMediumDataObject();
    LONG ref_ = 1;
    std::optional<std::string> block_;
    ReleaseCounter counter_;
    int releases_ = 0;
    std::vector<HGLOBAL> handedOut_;
};

// A DROPFILES block with the given header fields followed by raw list bytes.
std::string dropBlockBytes(DWORD listOffset, BOOL wide, const std::string& list);
