// Stands in for the Java launcher in the drop tests. Registered as the program
// that opens .jar files, it writes the command line it was started with
// (UTF-16LE, as the process received it) into the file named by the
// environment variable MORVANE_RECORDER_OUT: first under a temporary name,
// then renamed, so that a waiting test never reads half of it.
#include <windows.h>

#include <cwchar>
#include <string>

int wmain() {
    wchar_t out[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"MORVANE_RECORDER_OUT", out, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return 2;
    std::wstring part = std::wstring(out) + L".part";
    HANDLE file = CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 3;
    const wchar_t* commandLine = GetCommandLineW();
    DWORD bytes = static_cast<DWORD>(wcslen(commandLine) * sizeof(wchar_t));
    DWORD written = 0;
    BOOL ok = WriteFile(file, commandLine, bytes, &written, nullptr) && written == bytes;
    CloseHandle(file);
    if (!ok) return 4;
    return MoveFileExW(part.c_str(), out, MOVEFILE_REPLACE_EXISTING) ? 0 : 5;
}
