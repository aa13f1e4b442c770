#include "icon/ExtractIcon.h"

velExtractIcon::velExtractIcon(JarIconObj* owner) : InterfaceObject(owner) {
    ZeroMemory(&osvi, sizeof(osvi));
    osvi.dwOSVersionInfoSize = sizeof(osvi);
    GetVersionExA(&osvi);
}

STDMETHODIMP velExtractIcon::GetIconLocation(UINT, PSTR, UINT, int*, UINT*) { return E_NOTIMPL; }

STDMETHODIMP velExtractIcon::Extract(PCSTR, UINT, HICON*, HICON*, UINT) { return E_NOTIMPL; }
