#include "registration/RegistryWrite.h"

#include <cstring>

#include "base/WinHolders.h"
#include "registration/SelfRegistration.h"

namespace {
DWORD withTerminator(const char* text) { return static_cast<DWORD>(strlen(text) + 1); }
}  // namespace

LONG writeKeyDefault(HKEY key, const char* text) {
    return RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), withTerminator(text));
}

LONG writeNamedString(HKEY key, const char* valueName, const char* text) {
    return RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), withTerminator(text));
}

LONG createKeyWithDefault(HKEY key, const char* subkeyPath, const char* text) {
    RegKey created;
    LONG rc = openOrCreateKey(key, subkeyPath, created.put());
    if (rc != ERROR_SUCCESS) return rc;
    return writeKeyDefault(created.get(), text);
}

LONG openFileTypeKey(HKEY* key) {
    *key = nullptr;
    return openOrCreateKey(HKEY_CLASSES_ROOT, FILE_TYPE_KEY, key);
}

LONG openOrCreateKey(HKEY parent, const char* path, HKEY* key) {
    return RegCreateKeyExA(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr, key,
                           nullptr);
}
