#pragma once
// What exists once per loaded module: the instance handle, the count of live
// objects plus server locks, and the class identifier of the one class.
#include <windows.h>
#include <ole2.h>

extern HINSTANCE g_hInstance;
extern LONG g_cDllRef;

// {5C2B91E4-7A06-4d3f-9E18-B40C6A2F7D95}
extern const CLSID CLSID_JarIcon;

// The class identifier as registry text, braces included.
#define CLSID_JARICON_TEXT "{5C2B91E4-7A06-4d3f-9E18-B40C6A2F7D95}"

inline bool sameGuid(REFGUID a, REFGUID b) { return memcmp(&a, &b, sizeof(GUID)) == 0; }
