// shellhost tip JAR [--lcid 0x0C07]: the tooltip the shell would show, for the
// thread locale given (default: the host's own).
#include <cstdio>
#include <cwchar>

#include "Host.h"

namespace {

int runTip(Host& host, const std::vector<std::wstring>& args) {
    std::wstring jar;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == L"--lcid" && i + 1 < args.size()) {
            wchar_t* end = nullptr;
            LCID lcid = wcstoul(args[++i].c_str(), &end, 0);
            if (*end != 0 || lcid == 0) return failUsage(L"--lcid takes a locale identifier such as 0x0C07");
            SetThreadLocale(lcid);
            if (GetThreadLocale() != lcid)
                fwprintf(stderr, L"shellhost: the system refused locale 0x%04lX; using 0x%04lX\n", lcid,
                         GetThreadLocale());
        } else if (jar.empty() && args[i][0] != L'-') {
            jar = args[i];
        } else {
            return failUsage(L"tip takes one JAR and optionally --lcid ID");
        }
    }
    if (jar.empty()) return failUsage(L"tip needs a JAR");
    ComPtr<IQueryInfo> info;
    if (FAILED(host.createLoaded(jar, IID_IQueryInfo, outPtr(info)))) return 1;
    PWSTR tip = nullptr;
    HRESULT hr = info->GetInfoTip(0, &tip);
    info.reset();
    if (hr != S_OK) {
        wprintf(L"no tip: GetInfoTip returned %ls\n", hresultText(hr).c_str());
        return 1;
    }
    printUtf8(std::wstring(tip) + L"\n");
    CoTaskMemFree(tip);
    return 0;
}

CommandRegistrar registrar({L"tip", L"JAR [--lcid 0x0C07]", L"print the tooltip for a thread locale", runTip});

}  // namespace
