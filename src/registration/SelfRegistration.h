#pragma once
// Self-registration: the class key, the shell's approval list and the handler
// entries of the jarfile type, written by DllRegisterServer and removed again
// by DllUnregisterServer. Each step returns a Win32 code, 0 for success; code 1
// stands for "the module path cannot be had" and for "out of memory".
#include <windows.h>

#include "com/Module.h"

#define REGISTRY_DESCRIPTION "Java-Jar: Icon, tooltip and desktopintegration extension"
#define THREADING_MODEL_APARTMENT "Apartment"
#define PROPERTIES_DESCRIPTION "Java-Jar: property handler (product name, version, company)"
// Explorer calls the property handler from a single-threaded apartment, the
// indexer from the multithreaded one.
#define THREADING_MODEL_BOTH "Both"
// Tells the shell that every file supplies its own icon through the handler.
#define PER_INSTANCE_ICON "%1"
#define REGISTRATION_BOX_CAPTION "Jar-File shell extension"

// The code used when the module path cannot be had or memory runs out.
const LONG kRegistrationInternalError = 1;

LONG registerClassKey();
LONG unregisterClassKey();
enum class ApprovalChange { add, remove };
LONG updateApprovedList(ApprovalChange change);
LONG registerFileTypeHandlers();
LONG unregisterFileTypeHandlers();
// Writes this library's full path (UTF-16) as the default of the server key at
// path below HKEY_CLASSES_ROOT, and its threading model.
LONG writeServerKey(const char* serverKeyPath, const char* threadingModel);
// Deletes a class key below HKEY_CLASSES_ROOT with the subkeys registration
// writes there; a subkey someone else added keeps the key.
LONG deleteClassKey(const char* classKeyPath);
// The property handler (PropertyHandler.cpp).
LONG registerPropertiesClassKey();
LONG unregisterPropertiesClassKey();
LONG registerPropertyHandler();
LONG unregisterPropertyHandler();
LONG registerPropertyLists();
LONG unregisterPropertyLists();
// On the DefaultIcon subkey of the open file-type key.
LONG saveDefaultIcon(HKEY fileTypeKey);
LONG restoreDefaultIcon(HKEY fileTypeKey);

// A positive code c becomes HRESULT_FROM_WIN32 of its low 16 bits; 0 and
// negative codes pass unchanged.
HRESULT hresultFromCode(LONG code);
