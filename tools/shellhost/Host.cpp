#include "Host.h"

#include <fcntl.h>
#include <io.h>

#include <cstdarg>
#include <cstdio>

#include "com/ClassIdentity.h"

const CLSID kClsidJarIcon = CLSID_JARICON_VALUE;
const CLSID kClsidJarProperties = CLSID_JARPROPERTIES_VALUE;

std::vector<Command>& commandTable() {
    static std::vector<Command> table;
    return table;
}

CommandRegistrar::CommandRegistrar(const Command& command) { commandTable().push_back(command); }

Host::~Host() {
    // The module stays loaded: objects handed to the shell's own code (a
    // property sheet, say) may still be alive when the command returns.
}

HRESULT Host::createObject(REFIID riid, void** ppv) { return createObjectOf(kClsidJarIcon, riid, ppv); }

HRESULT Host::createObjectOf(REFCLSID clsid, REFIID riid, void** ppv) {
    *ppv = nullptr;
    if (options_.registered) {
        HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, riid, ppv);
        if (FAILED(hr)) fwprintf(stderr, L"shellhost: CoCreateInstance failed: %ls\n", hresultText(hr).c_str());
        return hr;
    }
    if (!module_) {
        module_ = LoadLibraryW(options_.dllPath.c_str());
        if (!module_) {
            fwprintf(stderr, L"shellhost: cannot load %ls (error %lu)\n", options_.dllPath.c_str(), GetLastError());
            return HRESULT_FROM_WIN32(GetLastError());
        }
    }
    typedef HRESULT(WINAPI * GetClassObjectFn)(REFCLSID, REFIID, void**);
    auto getClassObject = reinterpret_cast<GetClassObjectFn>(
        reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
    if (!getClassObject) {
        fwprintf(stderr, L"shellhost: %ls exports no DllGetClassObject\n", options_.dllPath.c_str());
        return E_FAIL;
    }
    ComPtr<IClassFactory> factory;
    HRESULT hr = getClassObject(clsid, IID_IClassFactory, outPtr(factory));
    if (FAILED(hr)) {
        fwprintf(stderr, L"shellhost: DllGetClassObject failed: %ls\n", hresultText(hr).c_str());
        return hr;
    }
    hr = factory->CreateInstance(nullptr, riid, ppv);
    if (FAILED(hr)) fwprintf(stderr, L"shellhost: CreateInstance failed: %ls\n", hresultText(hr).c_str());
    return hr;
}

HRESULT Host::createLoaded(const std::wstring& jarPath, REFIID riid, void** ppv) {
    ComPtr<IPersistFile> persist;
    HRESULT hr = createObject(IID_IPersistFile, outPtr(persist));
    if (FAILED(hr)) return hr;
    std::wstring path = toWindowsPath(jarPath);
    hr = persist->Load(path.c_str(), STGM_READ);
    if (SUCCEEDED(hr)) hr = persist->QueryInterface(riid, ppv);
    if (FAILED(hr)) fwprintf(stderr, L"shellhost: the object refused: %ls\n", hresultText(hr).c_str());
    return hr;
}

std::wstring toWindowsPath(const std::wstring& path) {
    if (path.empty() || path[0] != L'/') return path;
    // Wine maps the Unix root to drive Z:.
    std::wstring out = L"Z:" + path;
    for (wchar_t& c : out)
        if (c == L'/') c = L'\\';
    return out;
}

std::string toUtf8(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

void printUtf8(const std::wstring& text) {
    fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
    std::string bytes = toUtf8(text);
    fwrite(bytes.data(), 1, bytes.size(), stdout);
}

std::wstring hresultText(HRESULT hr) {
    wchar_t text[16];
    swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

int failUsage(const wchar_t* format, ...) {
    fputws(L"shellhost: ", stderr);
    va_list args;
    va_start(args, format);
    vfwprintf(stderr, format, args);
    va_end(args);
    fputws(L" (shellhost --help shows the usage)\n", stderr);
    return 2;
}
