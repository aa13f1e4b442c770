// shellhost probe JAR: creates the object, hands it the path and lists the
// interfaces it offers.
#include <cstdio>

#include "Host.h"

namespace {

struct Probe {
    const wchar_t* name;
    const IID* iid;
};

const Probe kProbes[] = {
    {L"IUnknown", &IID_IUnknown},
    {L"IPersistFile", &IID_IPersistFile},
    {L"IExtractIconA", &IID_IExtractIconA},
    {L"IExtractIconW", &IID_IExtractIconW},
    {L"IQueryInfo", &IID_IQueryInfo},
    {L"IDropTarget", &IID_IDropTarget},
    {L"IShellExtInit", &IID_IShellExtInit},
    {L"IShellPropSheetExt", &IID_IShellPropSheetExt},
};

int runProbe(Host& host, const std::vector<std::wstring>& args) {
    if (args.size() != 1) return failUsage(L"probe takes exactly one JAR");
    ComPtr<IUnknown> object;
    if (FAILED(host.createLoaded(args[0], IID_IUnknown, outPtr(object)))) return 1;
    wprintf(L"object created and loaded with %ls\n", toWindowsPath(args[0]).c_str());
    for (const Probe& p : kProbes) {
        ComPtr<IUnknown> itf;
        HRESULT hr = object->QueryInterface(*p.iid, outPtr(itf));
        wprintf(L"  %-20ls %ls\n", p.name, SUCCEEDED(hr) ? L"offered" : (L"not offered (" + hresultText(hr) + L")").c_str());
    }
    return 0;
}

CommandRegistrar registrar({L"probe", L"JAR", L"list the interfaces the object offers", runProbe});

}  // namespace
