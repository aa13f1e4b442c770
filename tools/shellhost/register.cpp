// shellhost register [DLL] / shellhost unregister [DLL]: calls the DLL's own
// DllRegisterServer or DllUnregisterServer, as regsvr32 does, and prints the
// HRESULT. Without DLL the one given with --dll (or beside shellhost.exe).
#include <cstdio>

#include "Host.h"

namespace {

int callExport(Host& host, const std::vector<std::wstring>& args, const char* exportName) {
    if (args.size() > 1) return failUsage(L"%hs takes at most one DLL", exportName);
    std::wstring path = args.empty() ? host.options().dllPath : toWindowsPath(args[0]);
    ModuleHandle module(LoadLibraryW(path.c_str()));
    if (!module) {
        fwprintf(stderr, L"shellhost: cannot load %ls (error %lu)\n", path.c_str(), GetLastError());
        return 1;
    }
    typedef HRESULT(WINAPI * ExportFn)();
    auto fn = reinterpret_cast<ExportFn>(reinterpret_cast<void*>(GetProcAddress(module.get(), exportName)));
    if (!fn) {
        fwprintf(stderr, L"shellhost: %ls exports no %hs\n", path.c_str(), exportName);
        return 1;
    }
    HRESULT hr = fn();
    wprintf(L"%hs(%ls): %ls\n", exportName, path.c_str(), hresultText(hr).c_str());
    return SUCCEEDED(hr) ? 0 : 1;
}

int runRegister(Host& host, const std::vector<std::wstring>& args) {
    return callExport(host, args, "DllRegisterServer");
}

int runUnregister(Host& host, const std::vector<std::wstring>& args) {
    return callExport(host, args, "DllUnregisterServer");
}

CommandRegistrar registerCommand({L"register", L"[DLL]", L"register the DLL (DllRegisterServer)", runRegister});
CommandRegistrar unregisterCommand({L"unregister", L"[DLL]", L"unregister the DLL (DllUnregisterServer)",
                                    runUnregister});

}  // namespace
