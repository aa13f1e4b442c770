#include "launch/DropTarget.h"

STDMETHODIMP velDropTarget::DragEnter(IDataObject*, DWORD, POINTL, DWORD*) { return E_NOTIMPL; }
STDMETHODIMP velDropTarget::DragOver(DWORD, POINTL, DWORD*) { return E_NOTIMPL; }
STDMETHODIMP velDropTarget::DragLeave() { return S_OK; }
STDMETHODIMP velDropTarget::Drop(IDataObject*, DWORD, POINTL, DWORD*) { return E_NOTIMPL; }
