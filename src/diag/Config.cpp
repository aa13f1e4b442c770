#include "diag/Config.h"

#include <cstring>

#include "base/CoreAlloc.h"
#include "base/WinHolders.h"

char* readRegistryString(HKEY root, const char* subkey, const char* valueName) {
    RegKey key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return nullptr;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key.get(), valueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
        return nullptr;
    // One byte more than reported, so that data stored without its terminator
    // (or with no bytes at all) still reads as a terminated text.
    CorePtr<char> text(static_cast<char*>(coreAlloc(size + 1u)));
    if (!text || size == 0xFFFFFFFFu) return nullptr;
    DWORD read = size;
    if (RegQueryValueExA(key.get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(text.get()), &read) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return nullptr;
    text.get()[read <= size ? read : size] = '\0';
    return text.release();
}

char* readConfigValue(const char* valueName) {
    return readRegistryString(HKEY_CLASSES_ROOT, CONFIG_KEY_PATH, valueName);
}

bool isConfigFlagSet(const char* valueName) {
    CorePtr<char> text(readConfigValue(valueName));
    return text && strcmp(text.get(), "1") == 0;
}

bool isStandardMetadataOn() {
    CorePtr<char> value(readConfigValue(CONFIG_STANDARD_METADATA));
    return !(value && value.get()[0] == '0' && value.get()[1] == '\0');
}
