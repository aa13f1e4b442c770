// DllRegisterServer and DllUnregisterServer: three steps each way, the undo of
// a failed registration and the one message box that reports a failure.
#include "registration/SelfRegistration.h"

#include <shlobj.h>

#include "base/CoreAlloc.h"
#include "base/WinHolders.h"
#include "diag/Config.h"
#include "registration/FailureReport.h"
#include "registration/RegistryWrite.h"

namespace {

// One REG_SZ value that registration writes under HKEY_CLASSES_ROOT.
struct RegistryEntry {
    const char* keyPath;
    const char* valueName;  // null: the key's default value
    const char* text;
    bool required;          // a failed write fails the step
};

// The class key's subkeys, deleted before the class key itself can go.
const char* const kClassSubkeys[] = {"InProcServer32", "config"};

const char kRegisterFailedText[] =
    "Error registering Shell Extension!\n"
    "You need Administrator rights, lack of this may be the reason for failure!\n\n"
    "Also, you should install Java before, so that a filetype '.jar' exists in the registry.\n";
const char kUnregisterFailedText[] =
    "Error unregistering Shell Extension!\n"
    "You need Administrator rights, lack of those may be the reason for failure!";

const DWORD kModulePathSize = MAX_PATH + 1;

// The library's own full path, wherever it was loaded from, in UTF-16: an
// install folder named in any script is registered as it is. A path that
// does not fit (COM loads servers by paths of less than MAX_PATH characters)
// is not written at all rather than registered cut short.
LONG getModulePath(wchar_t (&path)[kModulePathSize], DWORD* length) {
    *length = GetModuleFileNameW(g_hInstance, path, kModulePathSize);
    if (*length == 0 || *length >= kModulePathSize) return kRegistrationInternalError;
    return 0;
}

LONG writeEntries(const RegistryEntry* entries, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const RegistryEntry& e = entries[i];
        RegKey key;
        LONG rc = openOrCreateKey(HKEY_CLASSES_ROOT, e.keyPath, key.put());
        if (rc != ERROR_SUCCESS) return rc;
        rc = e.valueName ? writeNamedString(key.get(), e.valueName, e.text) : writeKeyDefault(key.get(), e.text);
        if (rc != ERROR_SUCCESS && e.required) return rc;
    }
    return 0;
}

// Jar icons refresh at once instead of after the next restart of the shell.
void notifyAssociationsChanged() { SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr); }

#ifndef _WIN64
HMODULE kernel32() { return GetModuleHandleA("kernel32.dll"); }
#endif

// The registry view that the DLL of the other bitness registers in, or 0 where
// there is none: 64-bit Windows keeps the class keys and HKLM\SOFTWARE twice,
// once for 32-bit and once for 64-bit programs, and 32-bit Windows once.
REGSAM otherRegistryView() {
#ifdef _WIN64
    return KEY_WOW64_32KEY;
#else
    // Looked up rather than imported: systems before it have no 64-bit view.
    typedef BOOL(WINAPI * IsWow64ProcessFn)(HANDLE, PBOOL);
    auto isWow64Process = reinterpret_cast<IsWow64ProcessFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel32(), "IsWow64Process")));
    BOOL wow64 = FALSE;
    return isWow64Process && isWow64Process(GetCurrentProcess(), &wow64) && wow64 ? KEY_WOW64_64KEY : 0;
#endif
}

// The attributes of the file at path, and the error of the look: a 32-bit
// program on 64-bit Windows turns the redirection of System32 to SysWOW64 off
// for it, so that it sees the folders as the 64-bit DLL's path names them.
DWORD unredirectedAttributes(const wchar_t* path, DWORD* error) {
#ifndef _WIN64
    typedef BOOL(WINAPI * DisableFn)(PVOID*);
    typedef BOOL(WINAPI * RevertFn)(PVOID);
    auto disable = reinterpret_cast<DisableFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel32(), "Wow64DisableWow64FsRedirection")));
    auto revert = reinterpret_cast<RevertFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel32(), "Wow64RevertWow64FsRedirection")));
    PVOID state = nullptr;
    const bool off = disable && revert && disable(&state);
#endif
    DWORD attributes = GetFileAttributesW(path);
    *error = GetLastError();
#ifndef _WIN64
    if (off) revert(state);
#endif
    return attributes;
}

// Whether the file that an InProcServer32 key names may still be there. No
// path, an empty one, a folder, or a path whose file or folder is reported
// missing counts as gone; a value that is not plain text, or a file that
// cannot be looked at (a network share that is down), keeps the registration.
bool serverFileMayExist(HKEY server) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(server, nullptr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    if (type != REG_SZ) return true;
    if (size < sizeof(wchar_t)) return false;
    if (size > MAXDWORD - 2 * sizeof(wchar_t)) return true;
    CorePtr<wchar_t> path(static_cast<wchar_t*>(coreAlloc(size + 2 * sizeof(wchar_t))));
    if (!path) return true;
    DWORD read = size;
    if (RegQueryValueExW(server, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(path.get()), &read) !=
            ERROR_SUCCESS ||
        type != REG_SZ || read > size)
        return true;
    path.get()[read / sizeof(wchar_t)] = L'\0';
    if (path.get()[0] == L'\0') return false;
    DWORD error = 0;
    DWORD attributes = unredirectedAttributes(path.get(), &error);
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

// Whether the DLL of the other bitness is registered: 64-bit Explorer loads
// only the 64-bit DLL and 32-bit programs only the 32-bit one, and both reach
// the class through the same handler keys of the jar file type. A
// registration whose DLL file is gone (its folder deleted by hand) does not
// count: it serves nobody, and the shared keys must not outlive it.
// HKEY_CLASSES_ROOT merges the machine's and the user's classes; they are
// asked one by one, since Wine keeps a handle open for every open of
// HKEY_CLASSES_ROOT in a chosen view.
bool registeredInOtherView() {
    REGSAM view = otherRegistryView();
    if (view == 0) return false;
    const HKEY classesOwners[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
    for (HKEY classesOwner : classesOwners) {
        RegKey server;
        if (RegOpenKeyExA(classesOwner, "Software\\Classes\\" INPROC_SERVER_KEY_PATH, 0, KEY_READ | view,
                          server.put()) == ERROR_SUCCESS &&
            serverFileMayExist(server.get()))
            return true;
    }
    return false;
}

// Whether the handler key below the file type still names this class: a
// handler that another program put in its place is that program's.
bool handlerIsOurs(HKEY fileTypeKey, const char* handlerPath) {
    RegKey handler;
    return RegOpenKeyExA(fileTypeKey, handlerPath, 0, KEY_QUERY_VALUE, handler.put()) == ERROR_SUCCESS &&
           keyDefaultIs(handler.get(), CLSID_JARICON_TEXT, TextCase::ignored);
}

}  // namespace

LONG writeServerKey(const char* serverKeyPath, const char* threadingModel) {
    wchar_t path[kModulePathSize];
    DWORD length = 0;
    LONG rc = getModulePath(path, &length);
    if (rc != 0) return rc;
    RegKey server;
    rc = openOrCreateKey(HKEY_CLASSES_ROOT, serverKeyPath, server.put());
    if (rc != ERROR_SUCCESS) return rc;
    rc = RegSetValueExW(server.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path),
                        (length + 1) * sizeof(wchar_t));
    if (rc != ERROR_SUCCESS) return rc;
    return writeNamedString(server.get(), "ThreadingModel", threadingModel);
}

LONG registerClassKey() {
    // A path that does not fit fails the step before anything is written.
    wchar_t path[kModulePathSize];
    DWORD length = 0;
    LONG rc = getModulePath(path, &length);
    if (rc != 0) return rc;
    const RegistryEntry entries[] = {
        {CLASS_KEY_PATH, nullptr, REGISTRY_DESCRIPTION, true},
        // Resets the fallback icon on every registration; the diagnostic
        // switches beside it survive.
        {CONFIG_KEY_PATH, CONFIG_DEFAULT_ICON, "", false},
    };
    rc = writeEntries(entries, sizeof(entries) / sizeof(entries[0]));
    if (rc != 0) return rc;
    return writeServerKey(INPROC_SERVER_KEY_PATH, THREADING_MODEL_APARTMENT);
}

LONG deleteClassKey(const char* classKeyPath) {
    RegKey classKey;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, classKeyPath, 0, KEY_ALL_ACCESS, classKey.put()) == ERROR_SUCCESS) {
        for (const char* subkey : kClassSubkeys) RegDeleteKeyA(classKey.get(), subkey);
        classKey.reset();
    }
    RegKey root;
    LONG rc = RegOpenKeyExA(HKEY_CLASSES_ROOT, nullptr, 0, KEY_ALL_ACCESS, root.put());
    if (rc != ERROR_SUCCESS) return rc;
    // Fails harmlessly while a subkey that someone else added is left.
    RegDeleteKeyA(root.get(), classKeyPath);
    return 0;
}

LONG unregisterClassKey() { return deleteClassKey(CLASS_KEY_PATH); }

LONG updateApprovedList(ApprovalChange change) {
    // Windows 95, 98 and Me have no approval list.
    if (GetVersion() & 0x80000000u) return 0;
    RegKey approved;
    LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, APPROVED_KEY_PATH, 0, KEY_SET_VALUE, approved.put());
    if (rc != ERROR_SUCCESS) return rc;
    if (change == ApprovalChange::add) return writeNamedString(approved.get(), CLSID_JARICON_TEXT, REGISTRY_DESCRIPTION);
    RegDeleteValueA(approved.get(), CLSID_JARICON_TEXT);
    return 0;
}

LONG registerFileTypeHandlers() {
    RegKey fileType;
    LONG rc = openFileTypeKey(fileType.put());
    if (rc != ERROR_SUCCESS) return rc;
    rc = saveDefaultIcon(fileType.get());
    if (rc != 0) return rc;
    for (const char* handler : kHandlerKeys) {
        rc = createKeyWithDefault(fileType.get(), handler, CLSID_JARICON_TEXT);
        if (rc != ERROR_SUCCESS) return rc;
    }
    return 0;
}

LONG unregisterFileTypeHandlers() {
    // Opened, never created: without a jar file type nothing of ours is there.
    RegKey fileType;
    LONG rc = RegOpenKeyExA(HKEY_CLASSES_ROOT, FILE_TYPE_KEY, 0, KEY_ALL_ACCESS, fileType.put());
    if (rc == ERROR_FILE_NOT_FOUND) return 0;
    if (rc != ERROR_SUCCESS) return rc;
    restoreDefaultIcon(fileType.get());
    // Only the handlers that still name this class go. The intermediate keys
    // "shellex" and "shellex\PropertySheetHandlers" stay.
    for (const char* handler : kHandlerKeys)
        if (handlerIsOurs(fileType.get(), handler)) RegDeleteKeyA(fileType.get(), handler);
    return 0;
}

HRESULT hresultFromCode(LONG code) {
    if (code <= 0) return static_cast<HRESULT>(code);
    return static_cast<HRESULT>(0x80070000u | (static_cast<DWORD>(code) & 0xFFFFu));
}

STDAPI DllRegisterServer() {
    // A step that does not run because an earlier one failed counts as failed.
    const LONG notRun = -1;
    LONG classKey = registerClassKey();
    LONG approval = classKey == 0 ? updateApprovedList(ApprovalChange::add) : notRun;
    LONG handlers = approval == 0 ? registerFileTypeHandlers() : notRun;
    // The property handler: its class, the extension's handler entry, the lists.
    LONG properties = handlers == 0 ? registerPropertiesClassKey() : notRun;
    LONG handler = properties == 0 ? registerPropertyHandler() : notRun;
    LONG lists = handler == 0 ? registerPropertyLists() : notRun;
    if (lists == 0) {
        notifyAssociationsChanged();
        return S_OK;
    }
    // The step that failed is not undone: what it wrote before failing stays.
    if (handler == 0) unregisterPropertyHandler();
    if (properties == 0) unregisterPropertiesClassKey();
    if (handlers == 0 && !registeredInOtherView()) unregisterFileTypeHandlers();
    if (classKey == 0) unregisterClassKey();
    if (approval == 0) updateApprovedList(ApprovalChange::remove);
    LONG code = classKey != 0 ? classKey : approval != 0 ? approval : handlers != 0 ? handlers
              : properties != 0 ? properties : handler != 0 ? handler : lists;
    reportRegistrationFailure(kRegisterFailedText, hresultFromCode(code));
    return hresultFromCode(code);
}

STDAPI DllUnregisterServer() {
    // The handler keys and the default icon are shared by both views: they
    // stay while the other DLL still serves its programs through them.
    bool otherView = registeredInOtherView();
    LONG handlers = otherView ? 0 : unregisterFileTypeHandlers();
    LONG lists = otherView ? 0 : unregisterPropertyLists();
    LONG handler = unregisterPropertyHandler();
    LONG properties = unregisterPropertiesClassKey();
    LONG approval = updateApprovedList(ApprovalChange::remove);
    LONG classKey = unregisterClassKey();
    if (classKey == 0) classKey = properties != 0 ? properties : handler != 0 ? handler : lists;
    notifyAssociationsChanged();
    LONG code = classKey != 0 ? classKey : approval != 0 ? approval : handlers;
    if (code == 0) return S_OK;
    reportRegistrationFailure(kUnregisterFailedText, hresultFromCode(code));
    return hresultFromCode(code);
}
