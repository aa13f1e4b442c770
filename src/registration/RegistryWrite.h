#pragma once
// The four small writes that self-registration makes all of its entries with,
// and the check that unregistration makes before it removes one. Each write
// returns the registry function's code unchanged (0 is success); the key
// arguments are open keys that the caller closes.
#include <windows.h>

// The key's default value as REG_SZ, the terminator stored with the text.
LONG writeKeyDefault(HKEY key, const char* text);
// A named REG_SZ value, the terminator stored with the text.
LONG writeNamedString(HKEY key, const char* valueName, const char* text);
// Opens or creates the key at subkeyPath (with every missing level) and sets
// its default value; the new key is closed also when the write fails.
LONG createKeyWithDefault(HKEY key, const char* subkeyPath, const char* text);
// HKEY_CLASSES_ROOT\jarfile, created when missing. *key is null on failure.
LONG openFileTypeKey(HKEY* key);
// Opens the key at path below parent for reading and writing, creating it and
// any missing level. Always a new handle, never parent itself.
LONG openOrCreateKey(HKEY parent, const char* path, HKEY* key);
// Whether the key's default value is still the REG_SZ text that registration
// wrote (stored with its terminator or without): compared byte for byte, or
// with ASCII letters in either case, as Windows compares class identifiers.
enum class TextCase { exact, ignored };
bool keyDefaultIs(HKEY key, const char* text, TextCase letterCase);
// Whether the value exists (null: the default value), of any type.
bool registryValueExists(HKEY key, const char* name);
// Copies the value `from` to the value `to` of the same key, type and bytes
// unchanged. Returns kRegistrationInternalError when memory runs out, else 0;
// *outcome tells whether there was a non-empty value to copy and whether the
// copy was written.
enum class CopyOutcome { nothingThere, copied, failed };
LONG copyRegistryValue(HKEY key, const char* from, const char* to, CopyOutcome* outcome);
