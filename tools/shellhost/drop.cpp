// shellhost drop JAR FILE... [--wide]: drops files onto a jar as the shell
// does: a data object that offers the names as CF_HDROP (a DROPFILES block in
// global memory, ANSI names or with --wide UTF-16 ones), then DragEnter,
// DragOver and Drop on the object's IDropTarget. The program registered for
// .jar files is started by the drop and runs on after this command returns.
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "Host.h"

namespace {

// Serves one DROPFILES block for CF_HDROP in global memory, as the shell's
// own data object does for a selection of files.
class FileDropData final : public IDataObject {
public:
    explicit FileDropData(std::string block) : block_(std::move(block)) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDataObject)) {
            *ppv = static_cast<IDataObject*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&ref_); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG r = InterlockedDecrement(&ref_);
        if (r == 0) delete this;
        return r;
    }
    STDMETHODIMP QueryGetData(FORMATETC* format) override {
        return format->cfFormat == CF_HDROP && (format->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
    }
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, block_.size());
        if (!memory) return E_OUTOFMEMORY;
        memcpy(GlobalLock(memory), block_.data(), block_.size());
        GlobalUnlock(memory);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = memory;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    ~FileDropData() = default;
    LONG ref_ = 1;
    std::string block_;
};

// The names after a DROPFILES header, each NUL-terminated, then an empty name.
std::string dropBlock(const std::vector<std::wstring>& names, bool wide) {
    DROPFILES header = {};
    header.pFiles = sizeof(DROPFILES);
    header.fWide = wide;
    std::string block(reinterpret_cast<const char*>(&header), sizeof(header));
    for (const std::wstring& name : names) {
        if (wide) {
            block.append(reinterpret_cast<const char*>(name.c_str()), (name.size() + 1) * sizeof(wchar_t));
            continue;
        }
        int n = WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, nullptr, 0, nullptr, nullptr);
        std::string ansi(size_t(n > 0 ? n : 1), '\0');
        if (n > 0) WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, &ansi[0], n, nullptr, nullptr);
        block.append(ansi.c_str(), strlen(ansi.c_str()) + 1);
    }
    block.append(wide ? sizeof(wchar_t) : 1, '\0');
    return block;
}

const wchar_t* effectName(DWORD effect) {
    switch (effect) {
        case DROPEFFECT_NONE: return L"none";
        case DROPEFFECT_COPY: return L"copy";
        case DROPEFFECT_MOVE: return L"move";
        case DROPEFFECT_LINK: return L"link";
        default: return L"other";
    }
}

void say(const std::wstring& line) { printUtf8(line + L"\n"); }

void report(const wchar_t* step, HRESULT hr, DWORD effect) {
    std::wstring padded = std::wstring(step) + L":";
    padded.resize(11, L' ');
    say(L"  " + padded + (hr == S_OK ? L"S_OK" : hresultText(hr)) + L", effect " + effectName(effect));
}

int runDrop(Host& host, const std::vector<std::wstring>& args) {
    bool wide = false;
    std::vector<std::wstring> paths;
    for (const std::wstring& a : args) {
        if (a == L"--wide")
            wide = true;
        else
            paths.push_back(toWindowsPath(a));
    }
    if (paths.size() < 2) return failUsage(L"drop takes a JAR and at least one FILE");
    std::vector<std::wstring> names(paths.begin() + 1, paths.end());

    ComPtr<IDropTarget> target;
    if (FAILED(host.createLoaded(paths[0], IID_IDropTarget, outPtr(target)))) return 1;
    say(L"dropping " + std::to_wstring(names.size()) + L" file(s) onto " + paths[0] + L" as " +
        (wide ? L"wide (UTF-16)" : L"ANSI") + L" names:");
    for (const std::wstring& n : names) say(L"  " + n);

    ComPtr<FileDropData> data(new FileDropData(dropBlock(names, wide)));
    POINTL pt = {0, 0};
    // The shell offers every effect; the target answers with the one it takes.
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    HRESULT hr = target->DragEnter(data.get(), 0, pt, &effect);
    report(L"DragEnter", hr, effect);
    if (hr == S_OK) {
        effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
        hr = target->DragOver(0, pt, &effect);
        report(L"DragOver", hr, effect);
        effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
        hr = target->Drop(data.get(), 0, pt, &effect);
        report(L"Drop", hr, effect);
    } else {
        target->DragLeave();
    }
    return hr == S_OK ? 0 : 1;
}

CommandRegistrar registrar({L"drop", L"JAR FILE... [--wide]", L"drop files onto the jar as the shell does", runDrop});

}  // namespace
