#pragma once
// The property handler of .jar files: Explorer's Details pane, the Details tab
// of Properties, the columns of the details view and Windows Search ask it
// for a jar's product name, version, company, copyright and description. It
// reads the jar only through the stream it is given, once, and is read-only.
// Explorer calls it from a single-threaded apartment, the indexer from the
// multithreaded one: the object keeps nothing shared, and its values do not
// change after Initialize.
#include <windows.h>
#include <ole2.h>
#include <propsys.h>

#include "properties/PropertyValues.h"

class JarPropertyStore final : public IInitializeWithStream, public IPropertyStore, public IPropertyStoreCapabilities {
public:
    JarPropertyStore();
    ~JarPropertyStore();
    JarPropertyStore(const JarPropertyStore&) = delete;
    JarPropertyStore& operator=(const JarPropertyStore&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IInitializeWithStream: once, read-only.
    STDMETHODIMP Initialize(IStream* stream, DWORD mode) override;
    // IPropertyStore
    STDMETHODIMP GetCount(DWORD* count) override;
    STDMETHODIMP GetAt(DWORD index, PROPERTYKEY* key) override;
    STDMETHODIMP GetValue(REFPROPERTYKEY key, PROPVARIANT* value) override;
    STDMETHODIMP SetValue(REFPROPERTYKEY key, REFPROPVARIANT value) override;
    STDMETHODIMP Commit() override;
    // IPropertyStoreCapabilities
    STDMETHODIMP IsPropertyWritable(REFPROPERTYKEY key) override;

private:
    LONG cRef_ = 1;
    LONG initialized_ = 0;
    JarPropertyValues values_ = {};
    // The properties the jar gives, in the order GetAt lists them.
    JarProperty present_[kPropertyCount] = {};
    DWORD presentCount_ = 0;
};

// A new store for the class factory, asked for riid.
HRESULT createJarPropertyStore(REFIID riid, void** ppv);

// The key of each property, in the order of JarProperty.
const PROPERTYKEY& jarPropertyKey(JarProperty property);
