// shellhost props JAR: what Explorer's Details pane and Details tab would list
// for the jar. Windows asks the property handler as it does: the class, then
// IInitializeWithStream with a read-only stream on the file, then every
// property the store holds.
#include <propsys.h>
#include <shlwapi.h>

#include <cstdio>

#include "Host.h"
#include "properties/PropertyStore.h"

namespace {

// The canonical names Explorer shows the keys under (the names come from the
// property system's schema, which the host does not load).
const wchar_t* const kNames[kPropertyCount] = {
    L"System.Software.ProductName", L"System.Title",           L"System.Software.ProductVersion",
    L"System.FileVersion",          L"System.Company",         L"System.Copyright",
    L"System.FileDescription",      L"System.Comment",         L"System.Author",
};

const wchar_t* nameOf(const PROPERTYKEY& key) {
    for (int p = 0; p < kPropertyCount; ++p) {
        const PROPERTYKEY& known = jarPropertyKey(JarProperty(p));
        if (IsEqualGUID(known.fmtid, key.fmtid) && known.pid == key.pid) return kNames[p];
    }
    return L"(unknown key)";
}

int runProps(Host& host, const std::vector<std::wstring>& args) {
    if (args.size() != 1) return failUsage(L"props takes one JAR");
    std::wstring jar = toWindowsPath(args[0]);
    ComPtr<IInitializeWithStream> init;
    if (FAILED(host.createObjectOf(kClsidJarProperties, IID_IInitializeWithStream, outPtr(init)))) return 1;
    ComPtr<IStream> stream;
    HRESULT hr = SHCreateStreamOnFileEx(jar.c_str(), STGM_READ | STGM_SHARE_DENY_NONE, FILE_ATTRIBUTE_NORMAL, FALSE,
                                        nullptr, stream.put());
    if (FAILED(hr)) {
        fwprintf(stderr, L"shellhost: cannot open %ls: %ls\n", jar.c_str(), hresultText(hr).c_str());
        return 1;
    }
    hr = init->Initialize(stream.get(), STGM_READ);
    if (FAILED(hr)) {
        wprintf(L"Initialize returned %ls\n", hresultText(hr).c_str());
        return 1;
    }
    ComPtr<IPropertyStore> store;
    if (FAILED(init->QueryInterface(IID_IPropertyStore, outPtr(store)))) return 1;
    DWORD count = 0;
    store->GetCount(&count);
    printUtf8(L"properties of " + jar + L" (" + std::to_wstring(count) + L"):\n");
    for (DWORD i = 0; i < count; ++i) {
        PROPERTYKEY key;
        PROPVARIANT value;
        if (FAILED(store->GetAt(i, &key)) || FAILED(store->GetValue(key, &value))) continue;
        std::wstring text = value.vt == VT_LPWSTR && value.pwszVal ? value.pwszVal : L"(not text)";
        if (value.vt == (VT_VECTOR | VT_LPWSTR)) {
            text.clear();
            for (ULONG k = 0; k < value.calpwstr.cElems; ++k)
                text += (k ? L"; " : L"") + std::wstring(value.calpwstr.pElems[k]);
        }
        PropVariantClear(&value);
        printUtf8(L"  " + std::wstring(nameOf(key)) + L": " + text + L"\n");
    }
    return 0;
}

CommandRegistrar registrar({L"props", L"JAR", L"print what the Details pane lists (the property handler)", runProps});

}  // namespace
