// Taking over the default icon of the jarfile type: the former default is kept
// under the saved-icon value, with its own type and bytes, and comes back at
// unregistration.
#include "base/Holder.h"
#include "base/WinHolders.h"
#include "registration/RegistryWrite.h"
#include "registration/SelfRegistration.h"

namespace {

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
    if (!registryValueExists(icon.get(), SAVED_ICON_VALUE)) {
        CopyOutcome outcome;
        rc = copyRegistryValue(icon.get(), nullptr, SAVED_ICON_VALUE, &outcome);
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
    rc = copyRegistryValue(icon.get(), SAVED_ICON_VALUE, nullptr, &outcome);
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
