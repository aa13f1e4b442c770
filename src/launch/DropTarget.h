#pragma once
#include <ole2.h>

#include "com/InterfaceObject.h"

// IDropTarget: files dropped onto a jar start its program.
class velDropTarget final : public InterfaceObject<IDropTarget> {
public:
    using InterfaceObject::InterfaceObject;

    STDMETHODIMP DragEnter(IDataObject* pDataObj, DWORD grfKeyState, POINTL pt, DWORD* pdwEffect) override;
    STDMETHODIMP DragOver(DWORD grfKeyState, POINTL pt, DWORD* pdwEffect) override;
    STDMETHODIMP DragLeave() override;
    STDMETHODIMP Drop(IDataObject* pDataObj, DWORD grfKeyState, POINTL pt, DWORD* pdwEffect) override;
};
