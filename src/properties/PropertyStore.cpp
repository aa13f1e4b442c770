#include "properties/PropertyStore.h"

#include <new>

#include "base/Holder.h"
#include "com/Module.h"
#include "diag/Config.h"
#include "diag/Log.h"
#include "base/TextUnits.h"
#include "infotip/Description.h"
#include "metadata/JarMetadata.h"
#include "text/LocaleNames.h"

namespace {

// The keys, as Windows defines them; mingw-w64's headers lack some.
constexpr GUID kSummaryInformation = {0xF29F85E0, 0x4FF9, 0x1068, {0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9}};
constexpr GUID kDocumentSummary = {0xD5CDD502, 0x2E9C, 0x101B, {0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE}};
constexpr GUID kMediaCopyright = {0x64440492, 0x4C8B, 0x11D1, {0x8B, 0x70, 0x08, 0x00, 0x36, 0xB1, 0x1A, 0x03}};
constexpr GUID kVersionInformation = {0x0CEF7D53, 0xFA64, 0x11D1, {0xA2, 0x03, 0x00, 0x00, 0xF8, 0x1F, 0xED, 0xEE}};
const PROPERTYKEY kKeys[kPropertyCount] = {
    {kVersionInformation, 7},   // System.Software.ProductName
    {kSummaryInformation, 2},   // System.Title
    {kVersionInformation, 8},   // System.Software.ProductVersion
    {kVersionInformation, 4},   // System.FileVersion
    {kDocumentSummary, 15},     // System.Company
    {kMediaCopyright, 11},      // System.Copyright
    {kVersionInformation, 3},   // System.FileDescription
    {kSummaryInformation, 6},   // System.Comment
    {kSummaryInformation, 4},   // System.Author
};

bool sameKey(REFPROPERTYKEY a, const PROPERTYKEY& b) { return sameGuid(a.fmtid, b.fmtid) && a.pid == b.pid; }

// The jar through the stream it was handed: positioned reads by Seek and Read,
// retried until the whole range has arrived.
class StreamSource : public ByteSource {
public:
    StreamSource(IStream* stream, uint64_t size) : stream_(stream), size_(size) {}
    uint64_t size() const override { return size_; }
    bool readAt(uint64_t offset, void* destination, uint32_t length) override {
        if (offset > size_ || length > size_ - offset) return false;
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(offset);
        if (FAILED(stream_->Seek(at, STREAM_SEEK_SET, nullptr))) return false;
        char* to = static_cast<char*>(destination);
        while (length > 0) {
            ULONG got = 0;
            HRESULT hr = stream_->Read(to, length, &got);
            if (FAILED(hr) || got == 0 || got > length) return false;
            to += got;
            length -= got;
        }
        return true;
    }

private:
    IStream* stream_;
    uint64_t size_;
};

// A CoTaskMemAlloc copy of count units, terminated, as a PROPVARIANT holds them.
LPWSTR taskCopy(const WChar* text, size_t count) {
    auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc((count + 1) * sizeof(WChar)));
    if (!copy) return nullptr;
    memcpy(copy, text, count * sizeof(WChar));
    copy[count] = 0;
    return copy;
}

// System.Author holds several texts: the authors "A, B" as a vector of them.
HRESULT authorsValue(const WChar* text, PROPVARIANT* value) {
    ULONG count = 1;
    for (const WChar* at = text; at[0]; ++at) count += at[0] == ',' && at[1] == ' ';
    auto* items = static_cast<LPWSTR*>(CoTaskMemAlloc(count * sizeof(LPWSTR)));
    if (!items) return E_OUTOFMEMORY;
    ULONG n = 0;
    for (const WChar* start = text;; ++n) {
        const WChar* end = start;
        while (end[0] && !(end[0] == ',' && end[1] == ' ')) ++end;
        items[n] = taskCopy(start, size_t(end - start));
        if (!items[n]) {
            for (ULONG i = 0; i < n; ++i) CoTaskMemFree(items[i]);
            CoTaskMemFree(items);
            return E_OUTOFMEMORY;
        }
        if (!end[0]) break;
        start = end + 2;
    }
    value->vt = VT_VECTOR | VT_LPWSTR;
    value->calpwstr.cElems = n + 1;
    value->calpwstr.pElems = items;
    return S_OK;
}

}  // namespace

const PROPERTYKEY& jarPropertyKey(JarProperty property) { return kKeys[property]; }

JarPropertyStore::JarPropertyStore() { InterlockedIncrement(&g_cDllRef); }

JarPropertyStore::~JarPropertyStore() {
    freeJarProperties(&values_);
    InterlockedDecrement(&g_cDllRef);
}

STDMETHODIMP JarPropertyStore::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (sameGuid(riid, IID_IUnknown) || sameGuid(riid, IID_IInitializeWithStream))
        *ppv = static_cast<IInitializeWithStream*>(this);
    else if (sameGuid(riid, IID_IPropertyStore))
        *ppv = static_cast<IPropertyStore*>(this);
    else if (sameGuid(riid, IID_IPropertyStoreCapabilities))
        *ppv = static_cast<IPropertyStoreCapabilities*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

// Both apartments may hold the object: the count moves only by interlocked operations.
STDMETHODIMP_(ULONG) JarPropertyStore::AddRef() { return InterlockedIncrement(&cRef_); }

STDMETHODIMP_(ULONG) JarPropertyStore::Release() {
    LONG left = InterlockedDecrement(&cRef_);
    if (left == 0) delete this;
    return left;
}

STDMETHODIMP JarPropertyStore::Initialize(IStream* stream, DWORD mode) {
    if (!stream) return E_INVALIDARG;
    // Read-only: a caller that wants to write gets nothing.
    if ((mode & (STGM_WRITE | STGM_READWRITE)) != 0) return STG_E_ACCESSDENIED;
    if (InterlockedCompareExchange(&initialized_, 1, 0) != 0) return HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED);
    STATSTG stat;
    if (FAILED(stream->Stat(&stat, STATFLAG_DEFAULT))) return E_FAIL;
    logText("JarPropertyStore::Initialize");
    // A file's stream names the file, which tells the jar's own pom; without
    // a name the own pom is the only one whose version is the manifest's.
    CorePtr<char> fileName(stat.pwcsName ? jarFileNameOf(stat.pwcsName) : nullptr);
    CoTaskMemFree(stat.pwcsName);
    StreamSource source(stream, stat.cbSize.QuadPart);
    CorePtr<char> locale(userLocaleName());
    if (!readJarProperties(source, fileName.get(), locale ? locale.get() : TIP_FALLBACK_LOCALE,
                           isStandardMetadataOn(), &values_))
        return S_OK;  // no zip, or no memory: a jar with no properties of its own
    for (int p = 0; p < kPropertyCount; ++p)
        if (values_.text[p]) present_[presentCount_++] = JarProperty(p);
    return S_OK;
}

STDMETHODIMP JarPropertyStore::GetCount(DWORD* count) {
    if (!count) return E_POINTER;
    *count = presentCount_;
    return S_OK;
}

STDMETHODIMP JarPropertyStore::GetAt(DWORD index, PROPERTYKEY* key) {
    if (!key) return E_POINTER;
    if (index >= presentCount_) return E_INVALIDARG;
    *key = kKeys[present_[index]];
    return S_OK;
}

STDMETHODIMP JarPropertyStore::GetValue(REFPROPERTYKEY key, PROPVARIANT* value) {
    if (!value) return E_POINTER;
    PropVariantInit(value);
    for (DWORD i = 0; i < presentCount_; ++i) {
        if (!sameKey(key, kKeys[present_[i]])) continue;
        const WChar* text = values_.text[present_[i]];
        if (present_[i] == kPropertyAuthor) return authorsValue(text, value);
        LPWSTR copy = taskCopy(text, textLength(text));
        if (!copy) return E_OUTOFMEMORY;
        value->vt = VT_LPWSTR;
        value->pwszVal = copy;
        return S_OK;
    }
    return S_OK;  // VT_EMPTY: the jar does not give it
}

STDMETHODIMP JarPropertyStore::SetValue(REFPROPERTYKEY, REFPROPVARIANT) { return STG_E_ACCESSDENIED; }
STDMETHODIMP JarPropertyStore::Commit() { return STG_E_ACCESSDENIED; }
STDMETHODIMP JarPropertyStore::IsPropertyWritable(REFPROPERTYKEY) { return S_FALSE; }

HRESULT createJarPropertyStore(REFIID riid, void** ppv) {
    JarPropertyStore* store = new (std::nothrow) JarPropertyStore();
    if (!store) return E_OUTOFMEMORY;
    HRESULT hr = store->QueryInterface(riid, ppv);
    store->Release();
    return hr;
}
