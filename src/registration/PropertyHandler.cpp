// Registration of the property handler: its class key, the one handler entry
// per extension that Windows reads (in this library's registry view), and the
// property lists that Explorer shows for .jar files. Only what is still
// Morvane's is removed or replaced: another program's handler is kept beside
// and put back, a list someone else wrote stays.
#include "base/WinHolders.h"
#include "registration/RegistryWrite.h"
#include "registration/SelfRegistration.h"

namespace {

struct PropertyList {
    const char* name;
    const char* text;
};

// The Details tab, the Details pane and the pane's title.
const PropertyList kPropertyLists[] = {
    {"FullDetails",
     "prop:System.PropGroup.Description;System.Software.ProductName;System.Software.ProductVersion;System.Company;"
     "System.Copyright;System.FileDescription;System.Author;System.PropGroup.FileSystem;System.ItemNameDisplay;"
     "System.ItemTypeText;System.ItemFolderPathDisplay;System.Size;System.DateCreated;System.DateModified"},
    {"PreviewDetails",
     "prop:System.Software.ProductVersion;System.Company;System.Copyright;System.FileDescription;System.Author;"
     "System.Size;System.DateModified"},
    {"PreviewTitle", "prop:System.Software.ProductName;System.ItemTypeText"},
};

// Whether the named REG_SZ value is exactly text.
bool valueIs(HKEY key, const char* name, const char* text) {
    char stored[1024];
    DWORD type = 0, size = sizeof stored - 1;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(stored), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    stored[size] = '\0';
    return strcmp(stored, text) == 0;
}

}  // namespace

LONG registerPropertiesClassKey() {
    RegKey classKey;
    LONG rc = openOrCreateKey(HKEY_CLASSES_ROOT, PROPERTIES_CLASS_KEY_PATH, classKey.put());
    if (rc != ERROR_SUCCESS) return rc;
    rc = writeKeyDefault(classKey.get(), PROPERTIES_DESCRIPTION);
    if (rc != ERROR_SUCCESS) return rc;
    return writeServerKey(PROPERTIES_INPROC_SERVER_KEY_PATH, THREADING_MODEL_BOTH);
}

LONG unregisterPropertiesClassKey() { return deleteClassKey(PROPERTIES_CLASS_KEY_PATH); }

LONG registerPropertyHandler() {
    RegKey handler;
    LONG rc = openOrCreateKey(HKEY_LOCAL_MACHINE, PROPERTY_HANDLER_KEY_PATH, handler.put());
    if (rc != ERROR_SUCCESS) return rc;
    // Another program's handler is kept beside, type and bytes as they were;
    // a copy saved by an earlier registration is never overwritten.
    if (!keyDefaultIs(handler.get(), CLSID_JARPROPERTIES_TEXT, TextCase::ignored) &&
        !registryValueExists(handler.get(), SAVED_PROPERTY_HANDLER_VALUE)) {
        CopyOutcome outcome;
        rc = copyRegistryValue(handler.get(), nullptr, SAVED_PROPERTY_HANDLER_VALUE, &outcome);
        if (rc != 0) return rc;
        if (outcome == CopyOutcome::failed) return kRegistrationInternalError;
    }
    return writeKeyDefault(handler.get(), CLSID_JARPROPERTIES_TEXT);
}

LONG unregisterPropertyHandler() {
    RegKey handler;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, PROPERTY_HANDLER_KEY_PATH, 0, KEY_READ | KEY_WRITE, handler.put()) !=
        ERROR_SUCCESS)
        return 0;
    // Another program took the entry over since: it stays, and so does the copy.
    if (!keyDefaultIs(handler.get(), CLSID_JARPROPERTIES_TEXT, TextCase::ignored)) return 0;
    CopyOutcome outcome;
    LONG rc = copyRegistryValue(handler.get(), SAVED_PROPERTY_HANDLER_VALUE, nullptr, &outcome);
    if (rc != 0) return rc;
    if (outcome == CopyOutcome::copied) {
        RegDeleteValueA(handler.get(), SAVED_PROPERTY_HANDLER_VALUE);
        return 0;
    }
    if (outcome == CopyOutcome::failed) return 0;  // the copy stays rather than being lost
    handler.reset();
    RegKey handlers;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, PROPERTY_HANDLERS_KEY_PATH, 0, KEY_ALL_ACCESS, handlers.put()) ==
        ERROR_SUCCESS)
        RegDeleteKeyA(handlers.get(), ".jar");
    return 0;
}

LONG registerPropertyLists() {
    RegKey lists;
    LONG rc = openOrCreateKey(HKEY_CLASSES_ROOT, PROPERTY_LISTS_KEY_PATH, lists.put());
    if (rc != ERROR_SUCCESS) return rc;
    for (const PropertyList& list : kPropertyLists) {
        if (registryValueExists(lists.get(), list.name)) continue;  // someone else's, or ours already
        rc = writeNamedString(lists.get(), list.name, list.text);
        if (rc != ERROR_SUCCESS) return rc;
    }
    return 0;
}

LONG unregisterPropertyLists() {
    RegKey lists;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, PROPERTY_LISTS_KEY_PATH, 0, KEY_READ | KEY_WRITE, lists.put()) !=
        ERROR_SUCCESS)
        return 0;
    for (const PropertyList& list : kPropertyLists)
        if (valueIs(lists.get(), list.name, list.text)) RegDeleteValueA(lists.get(), list.name);
    return 0;
}
