// Taking over the default icon of the jarfile type: the former default is kept
// under the saved-icon value, with its own type and bytes, and comes back at
// unregistration.
#include "base/Holder.h"
#include "base/WinHolders.h"
#include "registration/RegistryWrite.h"
#include "registration/SelfRegistration.h"

namespace {

bool valueExists(HKEY key, const char* name) {
    return RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

enum class CopyOutcome { nothingThere, copied, failed };

// Copies the value `from` to the value `to` of the same key, type and bytes
// unchanged. Returns kRegistrationInternalError when memory runs out, else 0;
// *outcome tells whether there was a non-empty value to copy and whether the
// copy was written.
LONG copyValue(HKEY key, const char* from, const char* to, CopyOutcome* outcome) {
    *outcome = CopyOutcome::nothingThere;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key, from, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || size == 0) return 0;
    if (size == MAXDWORD) return 0;
    // One byte beyond the data: the registry looks at the byte after a string
    // that does not end in NUL and adds a terminator when it finds one there.
    // A byte that is not NUL keeps such a value's bytes exactly as they were.
    CorePtr<BYTE> bytes(static_cast<BYTE*>(coreAlloc(size + 1u)));
    if (!bytes) return kRegistrationInternalError;
    *outcome = CopyOutcome::failed;
    DWORD read = size;
    if (RegQueryValueExA(key, from, nullptr, &type, bytes.get(), &read) != ERROR_SUCCESS || read > size) return 0;
    bytes.get()[read] = 0xFF;
    if (RegSetValueExA(key, to, 0, type, bytes.get(), read) == ERROR_SUCCESS) *outcome = CopyOutcome::copied;
    return 0;
}

// Whether the default value is still the per-instance marker that
// registration wrote, and so ours to remove or replace.
bool defaultIsOurs(HKEY iconKey) { return keyDefaultIs(iconKey, PER_INSTANCE_ICON, TextCase::exact); }

}  // namespace

LONG saveDefaultIcon(HKEY fileTypeKey) {
    RegKey icon;
    LONG rc = openOrCreateKey(fileTypeKey, DEFAULT_ICON_KEY, icon.put());
    if (rc != ERROR_SUCCESS) return rc;
    // An icon saved by an earlier registration is never overwritten: by now
    // the default holds our own marker.
    if (!valueExists(icon.get(), SAVED_ICON_VALUE)) {
        CopyOutcome outcome;
        rc = copyValue(icon.get(), nullptr, SAVED_ICON_VALUE, &outcome);
        if (rc != 0) return rc;
    }
    return writeKeyDefault(icon.get(), PER_INSTANCE_ICON);
}

LONG restoreDefaultIcon(HKEY fileTypeKey) {
    RegKey icon;
    LONG rc = RegOpenKeyExA(fileTypeKey, DEFAULT_ICON_KEY, 0, KEY_READ | KEY_WRITE, icon.put());
    if (rc != ERROR_SUCCESS) return rc;
    // Only our own marker is replaced or removed. A default that someone else
    // set (another program that took the jar icon over since, or the Java
    // installer when this library was never registered) stays, and so does
    // the saved icon beside it.
    if (!defaultIsOurs(icon.get())) return 0;
    CopyOutcome outcome;
    rc = copyValue(icon.get(), SAVED_ICON_VALUE, nullptr, &outcome);
    if (rc != 0) return rc;
    switch (outcome) {
        case CopyOutcome::copied:
            RegDeleteValueA(icon.get(), SAVED_ICON_VALUE);
            break;
        case CopyOutcome::nothingThere:
            RegDeleteValueA(icon.get(), nullptr);
            break;
        case CopyOutcome::failed:
            // The saved icon stays where it is rather than being lost.
            break;
    }
    return 0;
}
