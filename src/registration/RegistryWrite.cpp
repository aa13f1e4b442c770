#include "registration/RegistryWrite.h"

#include "base/CoreAlloc.h"
#include "base/Holder.h"

#include <cstring>

#include "base/WinHolders.h"
#include "registration/SelfRegistration.h"

namespace {
DWORD withTerminator(const char* text) { return static_cast<DWORD>(strlen(text) + 1); }

char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

bool sameText(const char* a, const char* b, TextCase letterCase) {
    for (;; ++a, ++b) {
        char x = letterCase == TextCase::ignored ? upperAscii(*a) : *a;
        char y = letterCase == TextCase::ignored ? upperAscii(*b) : *b;
        if (x != y) return false;
        if (x == '\0') return true;
    }
}

// The longest text compared: a class identifier in braces.
const DWORD kLongestCompared = 40;
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

bool keyDefaultIs(HKEY key, const char* text, TextCase letterCase) {
    const DWORD length = withTerminator(text);
    if (length > kLongestCompared) return false;
    // Room for the text and its terminator and no more: a longer value does
    // not fit and is someone else's. The zeroed byte after it ends a value
    // stored without terminator.
    char stored[kLongestCompared + 1] = {};
    DWORD type = 0;
    DWORD size = length;
    if (RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(stored), &size) != ERROR_SUCCESS)
        return false;
    return type == REG_SZ && sameText(stored, text, letterCase);
}

bool registryValueExists(HKEY key, const char* name) {
    return RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// Copies the value `from` to the value `to` of the same key, type and bytes
// unchanged. Returns kRegistrationInternalError when memory runs out, else 0;
// *outcome tells whether there was a non-empty value to copy and whether the
// copy was written.
LONG copyRegistryValue(HKEY key, const char* from, const char* to, CopyOutcome* outcome) {
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

