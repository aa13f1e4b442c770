#include "win/WinTestSupport.h"

#include <shellapi.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

const CLSID kClsidJarIcon = CLSID_JARICON_VALUE;

namespace {
template <typename Fn>
Fn exportOf(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
typedef HRESULT(WINAPI* GetClassObjectFn)(REFCLSID, REFIID, void**);
typedef HRESULT(WINAPI* NoArgFn)();
}  // namespace

DllUnderTest::DllUnderTest() : module_(LoadLibraryA("Morvane.dll")) {}
DllUnderTest::~DllUnderTest() {
    if (module_) FreeLibrary(module_);
}

HRESULT DllUnderTest::getClassObject(REFCLSID clsid, REFIID riid, void** ppv) const {
    auto fn = exportOf<GetClassObjectFn>(module_, "DllGetClassObject");
    return fn ? fn(clsid, riid, ppv) : E_FAIL;
}
HRESULT DllUnderTest::canUnloadNow() const {
    auto fn = exportOf<NoArgFn>(module_, "DllCanUnloadNow");
    return fn ? fn() : E_FAIL;
}
HRESULT DllUnderTest::registerServer() const {
    auto fn = exportOf<NoArgFn>(module_, "DllRegisterServer");
    return fn ? fn() : E_FAIL;
}
HRESULT DllUnderTest::unregisterServer() const {
    auto fn = exportOf<NoArgFn>(module_, "DllUnregisterServer");
    return fn ? fn() : E_FAIL;
}

HRESULT DllUnderTest::createObject(REFIID riid, void** ppv) const {
    IClassFactory* factory = nullptr;
    HRESULT hr = getClassObject(kClsidJarIcon, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) return hr;
    hr = factory->CreateInstance(nullptr, riid, ppv);
    factory->Release();
    return hr;
}

HRESULT DllUnderTest::createLoaded(const std::string& path, REFIID riid, void** ppv) const {
    int n = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    std::wstring wide(size_t(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], n);
    return createLoaded(std::wstring(wide.c_str()), riid, ppv);
}

HRESULT DllUnderTest::createLoaded(const std::wstring& path, REFIID riid, void** ppv) const {
    IPersistFile* persist = nullptr;
    HRESULT hr = createObject(IID_IPersistFile, reinterpret_cast<void**>(&persist));
    if (FAILED(hr)) return hr;
    hr = persist->Load(path.c_str(), STGM_READ);
    if (SUCCEEDED(hr)) hr = persist->QueryInterface(riid, ppv);
    persist->Release();
    return hr;
}

std::string DllUnderTest::path() const {
    char buffer[MAX_PATH] = {};
    GetModuleFileNameA(module_, buffer, MAX_PATH);
    return buffer;
}

DllUnderTest& dll() {
    static DllUnderTest instance;
    return instance;
}

// ---- registry -------------------------------------------------------------

void setRegistryValue(HKEY root, const std::string& key, const char* name, DWORD type, const void* data,
                      DWORD size) {
    HKEY k = nullptr;
    if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(k, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(k);
}

void setRegistryString(HKEY root, const std::string& key, const char* name, const std::string& text) {
    setRegistryValue(root, key, name, REG_SZ, text.c_str(), DWORD(text.size() + 1));
}

void deleteRegistryValue(HKEY root, const std::string& key, const char* name) {
    HKEY k = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS) return;
    RegDeleteValueA(k, name);
    RegCloseKey(k);
}

void deleteRegistryTree(HKEY root, const std::string& key) {
    HKEY k = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS) return;
    char sub[256];
    for (;;) {
        DWORD n = sizeof(sub);
        if (RegEnumKeyExA(k, 0, sub, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        deleteRegistryTree(k, sub);
    }
    RegCloseKey(k);
    RegDeleteKeyA(root, key.c_str());
}

bool registryKeyExists(HKEY root, const std::string& key) {
    HKEY k = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
}

bool queryRegistryValue(HKEY root, const std::string& key, const char* name, DWORD* type, std::string* bytes) {
    HKEY k = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    LONG rc = RegQueryValueExA(k, name, nullptr, type, nullptr, &size);
    if (rc == ERROR_SUCCESS) {
        bytes->assign(size, '\0');
        rc = RegQueryValueExA(k, name, nullptr, type, reinterpret_cast<BYTE*>(&(*bytes)[0]), &size);
        bytes->resize(size);
    }
    RegCloseKey(k);
    return rc == ERROR_SUCCESS;
}

void setConfigString(const char* name, const std::string& text) {
    setRegistryString(HKEY_CLASSES_ROOT, CONFIG_KEY_PATH, name, text);
}

void deleteConfigValue(const char* name) { deleteRegistryValue(HKEY_CLASSES_ROOT, CONFIG_KEY_PATH, name); }

// ---- data object ------------------------------------------------------------

namespace {
template <typename Char>
std::string dropBlock(const std::vector<std::basic_string<Char>>& names, bool wide, bool withList) {
    DROPFILES header = {};
    header.pFiles = withList ? sizeof(DROPFILES) : 0;
    header.fWide = wide;
    std::string block(reinterpret_cast<const char*>(&header), sizeof(header));
    for (const auto& name : names)
        block.append(reinterpret_cast<const char*>(name.c_str()), (name.size() + 1) * sizeof(Char));
    block.append(sizeof(Char), '\0');
    return block;
}
}  // namespace

DropDataObject* DropDataObject::createAnsi(const std::vector<std::string>& names) {
    auto* d = new DropDataObject();
    d->block_ = dropBlock(names, false, true);
    return d;
}

DropDataObject* DropDataObject::createWide(const std::vector<std::wstring>& names) {
    auto* d = new DropDataObject();
    d->block_ = dropBlock(names, true, true);
    return d;
}

DropDataObject* DropDataObject::createEmpty() {
    auto* d = new DropDataObject();
    d->offerDrop_ = false;
    return d;
}

DropDataObject* DropDataObject::createWithoutList(bool wide) {
    auto* d = new DropDataObject();
    d->block_ = wide ? dropBlock(std::vector<std::wstring>{}, true, false)
                     : dropBlock(std::vector<std::string>{}, false, false);
    return d;
}

DropDataObject* DropDataObject::createWatched(const std::optional<std::string>& block) {
    auto* d = new DropDataObject();
    d->block_ = block;
    d->watched_ = true;
    return d;
}

DropDataObject::~DropDataObject() {
    for (HGLOBAL memory : handedOut_) GlobalFree(memory);
}

STDMETHODIMP DropDataObject::QueryInterface(REFIID riid, void** ppv) {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDataObject)) {
        *ppv = static_cast<IDataObject*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}
STDMETHODIMP_(ULONG) DropDataObject::AddRef() { return InterlockedIncrement(&ref_); }
STDMETHODIMP_(ULONG) DropDataObject::Release() {
    LONG r = InterlockedDecrement(&ref_);
    if (r == 0) delete this;
    return r;
}

STDMETHODIMP DropDataObject::QueryGetData(FORMATETC* format) {
    if (!offerDrop_ || format->cfFormat != CF_HDROP || !(format->tymed & TYMED_HGLOBAL)) return DV_E_FORMATETC;
    return S_OK;
}

STDMETHODIMP DropDataObject::GetData(FORMATETC* format, STGMEDIUM* medium) {
    ++getDataCalls;
    HRESULT hr = QueryGetData(format);
    if (hr != S_OK) return hr;
    HGLOBAL memory = nullptr;
    if (block_) {
        memory = GlobalAlloc(GMEM_MOVEABLE, block_->size());
        if (!memory) return E_OUTOFMEMORY;
        memcpy(GlobalLock(memory), block_->data(), block_->size());
        GlobalUnlock(memory);
        if (watched_) handedOut_.push_back(memory);
    }
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = memory;
    medium->pUnkForRelease = watched_ ? &counter_ : nullptr;
    return S_OK;
}

// ---- message boxes ----------------------------------------------------------

MessageBoxWatchdog::MessageBoxWatchdog(const std::wstring& caption, bool anyProcess, bool captionPrefix)
    : caption_(caption), anyProcess_(anyProcess), captionPrefix_(captionPrefix), thread_([this] { run(); }) {}

MessageBoxWatchdog::~MessageBoxWatchdog() {
    stop_ = true;
    thread_.join();
}

std::wstring MessageBoxWatchdog::lastText() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return texts_.empty() ? std::wstring() : texts_.back();
}

std::vector<std::wstring> MessageBoxWatchdog::texts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return texts_;
}

namespace {
struct FindContext {
    const std::wstring* caption;
    bool anyProcess;
    bool captionPrefix;
    HWND found;
};
BOOL CALLBACK findBox(HWND hwnd, LPARAM lp) {
    auto* ctx = reinterpret_cast<FindContext*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if ((!ctx->anyProcess && pid != GetCurrentProcessId()) || !IsWindowVisible(hwnd)) return TRUE;
    wchar_t title[256];
    GetWindowTextW(hwnd, title, 256);
    if (ctx->captionPrefix ? std::wstring(title).rfind(*ctx->caption, 0) == 0 : *ctx->caption == title) {
        ctx->found = hwnd;
        return FALSE;
    }
    return TRUE;
}
BOOL CALLBACK findStatic(HWND child, LPARAM lp) {
    wchar_t cls[32];
    GetClassNameW(child, cls, 32);
    if (_wcsicmp(cls, L"Static") == 0 && GetWindowTextLengthW(child) > 0) {
        auto* text = reinterpret_cast<std::wstring*>(lp);
        std::vector<wchar_t> buffer(size_t(GetWindowTextLengthW(child)) + 1);
        GetWindowTextW(child, buffer.data(), int(buffer.size()));
        *text = buffer.data();
        return FALSE;
    }
    return TRUE;
}
}  // namespace

void MessageBoxWatchdog::run() {
    while (!stop_) {
        FindContext ctx = {&caption_, anyProcess_, captionPrefix_, nullptr};
        EnumWindows(findBox, reinterpret_cast<LPARAM>(&ctx));
        if (ctx.found) {
            // A window with a button 1 (a box's OK, a wizard's Next, Install
            // or Close) gets that button clicked once it is enabled, as a
            // person would; closing a wizard would cancel it. A wizard whose
            // work failed ends with only its button 2 enabled, labelled
            // Close. Anything else is told OK and closed. A window under a
            // box of its own waits.
            HWND ok = GetDlgItem(ctx.found, IDOK);
            HWND cancel = GetDlgItem(ctx.found, IDCANCEL);
            HWND button = ok && IsWindowEnabled(ok) ? ok : ok && cancel && IsWindowEnabled(cancel) ? cancel : nullptr;
            if (!IsWindowEnabled(ctx.found) || (ok && !button)) {
                Sleep(20);
                continue;
            }
            std::wstring text;
            EnumChildWindows(ctx.found, findStatic, reinterpret_cast<LPARAM>(&text));
            {
                std::lock_guard<std::mutex> lock(mutex_);
                texts_.push_back(text);
            }
            ++count_;
            if (button) {
                PostMessageW(button, BM_CLICK, 0, 0);
            } else {
                PostMessageW(ctx.found, WM_COMMAND, IDOK, 0);
                PostMessageW(ctx.found, WM_CLOSE, 0, 0);
            }
            // Wait until it is gone, so it is counted once.
            for (int i = 0; i < 200 && IsWindow(ctx.found) && IsWindowVisible(ctx.found); ++i) Sleep(10);
        }
        Sleep(20);
    }
}

// ---- log file -----------------------------------------------------------------

std::string readLogFile() {
    std::ifstream in(LOG_FILE_PATH, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void deleteLogFile() { DeleteFileA(LOG_FILE_PATH); }

std::vector<std::string> readLogLines() {
    std::string all = readLogFile();
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t pos; (pos = all.find("\r\n", start)) != std::string::npos; start = pos + 2)
        lines.push_back(all.substr(start, pos - start));
    return lines;
}

std::wstring widen(const std::string& utf8) {
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring out(size_t(n), L'\0');
    if (n) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), &out[0], n);
    return out;
}

std::string narrow(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n), '\0');
    if (n) WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}
