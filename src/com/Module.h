#pragma once
// What exists once per loaded module: the instance handle, the count of live
// objects plus server locks, and the class identifier of the one class.
#include <windows.h>
#include <ole2.h>

#include "com/ClassIdentity.h"

extern HINSTANCE g_hInstance;
extern LONG g_cDllRef;

extern const CLSID CLSID_JarIcon;
extern const CLSID CLSID_JarProperties;

inline bool sameGuid(REFGUID a, REFGUID b) { return memcmp(&a, &b, sizeof(GUID)) == 0; }
