#include "infotip/QueryInfo.h"

STDMETHODIMP velQueryInfo::GetInfoTip(DWORD, PWSTR*) { return E_NOTIMPL; }

STDMETHODIMP velQueryInfo::GetInfoFlags(DWORD*) { return E_NOTIMPL; }
