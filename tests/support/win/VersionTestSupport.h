#pragma once
// Helpers of the "Version" page tests: an add-page function that keeps or
// refuses what it gets, a modeless property sheet run on the test's thread,
// and reading the page's controls back (from any thread of the process).
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <optional>
#include <string>
#include <vector>

#include "versionpage/VersionPageIds.h"
#include "win/WinTestSupport.h"

// An add-page function with its lParam: keeps the pages it is handed, or
// refuses them when accept is false.
struct PageCapture {
    bool accept = true;
    int calls = 0;
    std::vector<HPROPSHEETPAGE> pages;
    static BOOL CALLBACK add(HPROPSHEETPAGE page, LPARAM lParam);
    LPARAM param() { return reinterpret_cast<LPARAM>(this); }
};

// A page of the test's own, so that a sheet has somewhere else to go.
HPROPSHEETPAGE createPlainPage(const wchar_t* title);

// A modeless property sheet on this thread; closed at the latest by the destructor.
class ModelessSheet {
public:
    ModelessSheet(const std::vector<HPROPSHEETPAGE>& pages, const wchar_t* caption);
    ~ModelessSheet();
    ModelessSheet(const ModelessSheet&) = delete;
    ModelessSheet& operator=(const ModelessSheet&) = delete;
    HWND hwnd() const { return sheet_; }
    // Makes page index the current one (its dialog is made on first use) and
    // returns the page's dialog.
    HWND activate(int index);
    // Cancel, as a user would, then the window is destroyed and with it the pages.
    void close();

private:
    HWND sheet_ = nullptr;
};

void pumpMessages();
int tabCount(HWND sheet);
std::wstring tabText(HWND sheet, int index);
// Index of the tab with this caption, or -1.
int findTab(HWND sheet, const std::wstring& caption);

std::wstring controlText(HWND dialog, int id);
std::vector<std::wstring> listItems(HWND list);

// What the page shows: the three fields, the list in order, and the value
// field after each item in turn has been selected as a click would.
struct VersionPageView {
    std::wstring fileVersion, description, copyright;
    std::vector<std::wstring> items;
    std::vector<std::wstring> values;
};
VersionPageView readVersionPage(HWND page);
// The Version page the DLL adds for the jar at path (the path handed over by
// IShellExtInit::Initialize as the shell's selection), shown in a sheet as the
// shell shows it; nullopt when the DLL adds no page.
std::optional<VersionPageView> versionPageOf(const std::wstring& path);
void selectItem(HWND page, int index);

// The path of a jar made by tests/fixtures/make_version.sh.
std::string versionJar(const char* name);
// IShellExtInit::Initialize with these files selected.
HRESULT initializeWith(IShellExtInit* init, const std::vector<std::string>& paths);
// The object's reference count, read by an AddRef and a Release.
ULONG objectRefCount(IUnknown* object);

// A top-level property sheet of this process (a dialog with a tab control),
// waited for up to timeoutMs or until *stop is set; null when none shows up.
HWND waitForPropertySheet(DWORD timeoutMs, const std::atomic<bool>* stop = nullptr);

// A jar type as an installed JVM leaves it (HKCR\.jar = jarfile, HKCR\jarfile),
// with Morvane.dll registered on top by its own DllRegisterServer; the
// destructor unregisters and removes the keys that were not there before.
class RegisteredJarType {
public:
    RegisteredJarType();
    ~RegisteredJarType();
    RegisteredJarType(const RegisteredJarType&) = delete;
    RegisteredJarType& operator=(const RegisteredJarType&) = delete;
    HRESULT registration() const { return registration_; }

private:
    bool hadExtension_, hadFileType_;
    HRESULT registration_;
};
