#pragma once
// The debug log: one TAB-separated line per event (thread, program, local time,
// message) appended to c:\morvane.log while the configuration value "debugLog"
// is "1". The file is opened and closed for every line; nothing is touched while
// the log is off, and a failure to write is never reported.
#include <windows.h>

#include "com/ClassIdentity.h"

bool isDebugLogOn();
void logPrintf(const char* format, ...);
void logText(const char* text);
// "JarIconObj:: <label>: <GUID in canonical form, upper case, no braces>"
void logGuid(const char* label, REFGUID guid);

// Message boxes with printf-style text, caption "Info"; they block until closed.
// In a window station that no screen shows they are left out and return 0.
int showInfoBox(const char* format, ...);
int showInfoBoxW(const wchar_t* format, ...);
