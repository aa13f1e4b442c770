#include "registration/FailureReport.h"

#include <cstdio>
#include <cstring>

#include "base/WinHolders.h"
#include "com/Module.h"
#include "diag/WindowStation.h"
#include "registration/SelfRegistration.h"

namespace {

const DWORD kLineSize = 2048;

// "2024-01-05 09:03:17 C:\...\Morvane.dll: <text> (error 0x80070002)" and a
// line end; the line breaks of the box's text become single blanks.
void formatLine(const char* text, HRESULT result, char* line) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char path[MAX_PATH + 1] = {};
    DWORD pathLength = GetModuleFileNameA(g_hInstance, path, MAX_PATH + 1);
    path[pathLength <= MAX_PATH ? pathLength : MAX_PATH] = '\0';
    int n = _snprintf(line, kLineSize, "%04u-%02u-%02u %02u:%02u:%02u %s: ", now.wYear, now.wMonth, now.wDay,
                      now.wHour, now.wMinute, now.wSecond, path);
    DWORD at = n > 0 ? DWORD(n) : 0;
    const DWORD textEnd = kLineSize - 32;  // room for the result and the line end
    for (const char* p = text; *p && at < textEnd; ++p) {
        if (*p != '\n') {
            line[at++] = *p;
        } else if (at > 0 && line[at - 1] != ' ' && p[1] != '\0') {
            line[at++] = ' ';
        }
    }
    _snprintf(line + at, kLineSize - at, " (error 0x%08lX)\r\n", static_cast<unsigned long>(result));
    line[kLineSize - 1] = '\0';
}

}  // namespace

void reportRegistrationFailure(const char* text, HRESULT result) {
    char logPath[MAX_PATH + 1];
    DWORD length = GetEnvironmentVariableA(SETUP_LOG_VARIABLE, logPath, sizeof(logPath));
    if (length == 0) {
        if (isWindowStationVisible()) MessageBoxA(nullptr, text, REGISTRATION_BOX_CAPTION, MB_OK | MB_ICONERROR);
        return;
    }
    // A name that does not fit is no file to write, but the setup still
    // runs without a person.
    if (length >= sizeof(logPath)) return;
    FileHandle log(CreateFileA(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!log) return;
    char line[kLineSize];
    formatLine(text, result, line);
    DWORD written = 0;
    WriteFile(log.get(), line, DWORD(strlen(line)), &written, nullptr);
}
