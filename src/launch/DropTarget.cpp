#include "launch/DropTarget.h"

#include "base/WinHolders.h"
#include "launch/LaunchCommand.h"

namespace {

// The answer is always a copy or nothing, whatever the source allows.
void answerEffect(DWORD* pdwEffect, DWORD effect) {
    if (pdwEffect) *pdwEffect = effect;
}

}  // namespace

STDMETHODIMP velDropTarget::DragEnter(IDataObject* pDataObj, DWORD, POINTL, DWORD* pdwEffect) {
    FORMATETC format = makeDropFormat();
    if (pDataObj && pDataObj->QueryGetData(&format) == S_OK) {
        answerEffect(pdwEffect, DROPEFFECT_COPY);
        return S_OK;
    }
    answerEffect(pdwEffect, DROPEFFECT_NONE);
    return E_UNEXPECTED;
}

STDMETHODIMP velDropTarget::DragOver(DWORD, POINTL, DWORD* pdwEffect) {
    answerEffect(pdwEffect, DROPEFFECT_COPY);
    return S_OK;
}

STDMETHODIMP velDropTarget::DragLeave() { return S_OK; }

STDMETHODIMP velDropTarget::Drop(IDataObject* pDataObj, DWORD, POINTL, DWORD* pdwEffect) {
    // The data is asked for afresh: nothing is kept from DragEnter.
    FORMATETC format = makeDropFormat();
    StgMediumHolder medium;
    if (!pDataObj || pDataObj->GetData(&format, medium.put()) != S_OK) {
        answerEffect(pdwEffect, DROPEFFECT_NONE);
        return E_UNEXPECTED;
    }
    // A medium of another kind carries no global memory handle to lock.
    if (medium.get().tymed == TYMED_HGLOBAL) {
        HGLOBAL memory = medium.get().hGlobal;
        GlobalLockHolder block(memory);
        if (block.get()) launchWithDroppedFiles(pJarIcon->path(), block.get(), GlobalSize(memory));
    }
    answerEffect(pdwEffect, DROPEFFECT_COPY);
    return S_OK;
}
