#include "infotip/QueryInfo.h"

#include <cstring>

#include "base/TextUnits.h"
#include "base/WinHolders.h"
#include "diag/Config.h"
#include "infotip/Description.h"
#include "text/LocaleNames.h"

HRESULT makeInfoTip(IMalloc* allocator, const PathChar* archivePath, PWSTR* ppwszTip) {
    CorePtr<WChar> tip;
    {
        CorePtr<char> locale(userLocaleName());
        tip.reset(readTooltip(archivePath, locale ? locale.get() : TIP_FALLBACK_LOCALE, TIP_LINE_BREAK,
                              isStandardMetadataOn()));
    }
    // Every way of having no text (no member, no matching line, a value that
    // is not UTF-8, no memory) gives the same answer.
    if (!tip) return E_OUTOFMEMORY;
    size_t bytes = (textLength(tip.get()) + 1) * sizeof(WChar);
    *ppwszTip = static_cast<PWSTR>(allocator->Alloc(bytes));
    if (*ppwszTip == nullptr) return E_OUTOFMEMORY;
    memcpy(*ppwszTip, tip.get(), bytes);
    return S_OK;
}

STDMETHODIMP velQueryInfo::GetInfoTip(DWORD, PWSTR* ppwszTip) {
    ComPtr<IMalloc> allocator;
    if (FAILED(SHGetMalloc(allocator.put()))) return E_FAIL;
    return makeInfoTip(allocator.get(), pJarIcon->path(), ppwszTip);
}

STDMETHODIMP velQueryInfo::GetInfoFlags(DWORD*) { return E_NOTIMPL; }
