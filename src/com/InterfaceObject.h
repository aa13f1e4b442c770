#pragma once
// Base of the six interface objects of a JarIconObj: each is allocated on its
// own, points back to its object and forwards IUnknown to it, so the object has
// one reference count and one identity.
#include <windows.h>

#include "com/JarIconObj.h"

template <typename Interface>
class InterfaceObject : public Interface {
public:
    explicit InterfaceObject(JarIconObj* owner) : pJarIcon(owner) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return pJarIcon->QueryInterface(riid, ppv); }
    STDMETHODIMP_(ULONG) AddRef() override { return pJarIcon->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return pJarIcon->Release(); }

    JarIconObj* pJarIcon;
};
