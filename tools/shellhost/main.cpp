// shellhost: drives Morvane.dll exactly as the Windows shell does, so each
// handler can be seen at work outside Explorer.
#include <cstdio>
#include <cwchar>

#include "Host.h"

namespace {

void printUsage(FILE* out) {
    fputws(L"usage: shellhost [--dll PATH | --registered] COMMAND [ARGS]\n"
           L"  --dll PATH     load this Morvane.dll (default: the one beside shellhost.exe)\n"
           L"  --registered   create the object through the registered class, as the shell does\n"
           L"Unix paths (starting with /) are taken as Wine's Z: drive.\ncommands:\n",
           out);
    for (const Command& c : commandTable()) fwprintf(out, L"  %-10ls %-28ls %ls\n", c.name, c.usage, c.summary);
}

std::wstring besideExecutable(const wchar_t* file) {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, n);
    size_t slash = dir.find_last_of(L"\\/");
    return (slash == std::wstring::npos ? std::wstring() : dir.substr(0, slash + 1)) + file;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    HostOptions options;
    options.dllPath = besideExecutable(L"Morvane.dll");
    int i = 1;
    for (; i < argc && argv[i][0] == L'-'; ++i) {
        std::wstring a = argv[i];
        if (a == L"--help" || a == L"-h") {
            printUsage(stdout);
            return 0;
        } else if (a == L"--dll" && i + 1 < argc) {
            options.dllPath = toWindowsPath(argv[++i]);
        } else if (a == L"--registered") {
            options.registered = true;
        } else {
            return failUsage(L"unknown option %ls", argv[i]);
        }
    }
    if (i >= argc) {
        printUsage(stderr);
        return 2;
    }
    for (const Command& c : commandTable()) {
        if (wcscmp(c.name, argv[i]) != 0) continue;
        std::vector<std::wstring> args(argv + i + 1, argv + argc);
        // The object is apartment-threaded, and property sheets need OLE.
        OleInitialize(nullptr);
        int rc;
        {
            Host host(options);
            rc = c.run(host, args);
        }
        OleUninitialize();
        return rc;
    }
    return failUsage(L"unknown command %ls", argv[i]);
}
