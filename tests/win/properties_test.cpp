// The property handler as Explorer and the indexer use it: the registered
// class, IInitializeWithStream with a read-only stream on the file, then the
// store's properties; its read-only contract; and the registry entries that
// make Windows load it, with another program's handler kept and put back.
#include <gtest/gtest.h>

#include <propsys.h>
#include <shlwapi.h>

#include <string>
#include <thread>
#include <vector>

#include "base/WinHolders.h"
#include "properties/PropertyStore.h"
#include "win/WinTestSupport.h"

namespace {

const CLSID kClsidProperties = CLSID_JARPROPERTIES_VALUE;
const std::string kHandlerKey = PROPERTY_HANDLER_KEY_PATH;
const char kForeignHandler[] = "{0B8B7F3E-1111-4222-8333-944455556666}";

ComPtr<IStream> streamOn(const std::string& path) {
    ComPtr<IStream> stream;
    SHCreateStreamOnFileEx(widen(path).c_str(), STGM_READ | STGM_SHARE_DENY_NONE, FILE_ATTRIBUTE_NORMAL, FALSE,
                           nullptr, stream.put());
    return stream;
}

ComPtr<IPropertyStore> storeFor(const std::string& jar, HRESULT* initialized = nullptr) {
    ComPtr<IInitializeWithStream> init;
    ComPtr<IClassFactory> factory;
    if (FAILED(dll().getClassObject(kClsidProperties, IID_IClassFactory, reinterpret_cast<void**>(factory.put()))) ||
        FAILED(factory->CreateInstance(nullptr, IID_IInitializeWithStream, reinterpret_cast<void**>(init.put()))))
        return ComPtr<IPropertyStore>();
    HRESULT hr = init->Initialize(streamOn(jar).get(), STGM_READ);
    if (initialized) *initialized = hr;
    ComPtr<IPropertyStore> store;
    init->QueryInterface(IID_IPropertyStore, reinterpret_cast<void**>(store.put()));
    return store;
}

// "key=value" for every property the store lists, in its order.
std::vector<std::string> listed(IPropertyStore* store) {
    std::vector<std::string> out;
    DWORD count = 0;
    if (!store || FAILED(store->GetCount(&count))) return {"(no store)"};
    for (DWORD i = 0; i < count; ++i) {
        PROPERTYKEY key;
        PROPVARIANT value;
        if (FAILED(store->GetAt(i, &key)) || FAILED(store->GetValue(key, &value))) continue;
        int property = -1;
        for (int p = 0; p < kPropertyCount; ++p)
            if (IsEqualPropertyKey(key, jarPropertyKey(JarProperty(p)))) property = p;
        std::string text = value.vt == VT_LPWSTR ? narrow(value.pwszVal) : "?";
        if (value.vt == (VT_VECTOR | VT_LPWSTR)) {
            text.clear();
            for (ULONG k = 0; k < value.calpwstr.cElems; ++k) text += (k ? ";" : "") + narrow(value.calpwstr.pElems[k]);
        }
        out.push_back(std::to_string(property) + "=" + text);
        PropVariantClear(&value);
    }
    return out;
}

class PropertiesTest : public ::testing::Test {
protected:
    void SetUp() override { SetThreadLocale(0x0409); }
    OleApartment apartment;
};

TEST_F(PropertiesTest, EachJarGivesWhatItCarries) {
    struct Row {
        const char* jar;
        std::vector<std::string> properties;  // JarProperty=value
    } rows[] = {
        {"metadata/osgi-bundle.jar",
         {"0=Example Tool", "1=Example Tool", "2=1.2.3.v20260101", "3=1.2.3.v20260101", "4=Example Org",
          "5=(c) Example", "6=Shows howa bundle is translated", "7=Shows howa bundle is translated"}},
        {"metadata/tool-all-2.0.jar", {"0=tool-all", "1=tool-all", "2=2.0.1", "3=2.0.1", "4=Example Org"}},
        {"version/sample.jar",
         {"0=Morvane sample tool", "1=Morvane sample tool", "2=2.4.1", "3=2.4.1", "5=(C) 2026 The Morvane developers"}},
        {"metadata/shell.jar", {"0=Standard Name", "1=Standard Name", "2=1.0", "3=1.0", "6=Shell description",
                                "7=Shell description"}},
        {"metadata/minimal.jar", {}},
        {"properties/damaged.jar", {}},
        {"properties/many-entries.jar", {"0=Many", "1=Many", "2=100000", "3=100000"}},
        {"mods/sodium-fabric.jar", {"0=Sodium", "1=Sodium", "2=0.5.8", "3=0.5.8", "6=A modern rendering engine",
                                    "7=A modern rendering engine", "8=JellySquid;IMS"}},
    };
    for (const Row& row : rows) {
        HRESULT hr = E_FAIL;
        ComPtr<IPropertyStore> store = storeFor(fixturePath(row.jar), &hr);
        EXPECT_EQ(hr, S_OK) << row.jar;
        EXPECT_EQ(listed(store.get()), row.properties) << row.jar;
    }
}

TEST_F(PropertiesTest, TheStoreIsReadOnlyAndInitializedOnce) {
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(dll().getClassObject(kClsidProperties, IID_IClassFactory, reinterpret_cast<void**>(factory.put())), S_OK);
    ComPtr<IInitializeWithStream> init;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IInitializeWithStream, reinterpret_cast<void**>(init.put())), S_OK);
    ComPtr<IStream> stream = streamOn(fixturePath("metadata/osgi-bundle.jar"));
    EXPECT_EQ(init->Initialize(stream.get(), STGM_READWRITE), STG_E_ACCESSDENIED);
    EXPECT_EQ(init->Initialize(stream.get(), STGM_READ), S_OK);
    EXPECT_EQ(init->Initialize(stream.get(), STGM_READ), HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED));
    ComPtr<IPropertyStoreCapabilities> capabilities;
    ASSERT_EQ(init->QueryInterface(IID_IPropertyStoreCapabilities, reinterpret_cast<void**>(capabilities.put())), S_OK);
    ComPtr<IPropertyStore> store;
    ASSERT_EQ(init->QueryInterface(IID_IPropertyStore, reinterpret_cast<void**>(store.put())), S_OK);
    PROPVARIANT value;
    PropVariantInit(&value);
    for (int p = 0; p < kPropertyCount; ++p) {
        EXPECT_EQ(capabilities->IsPropertyWritable(jarPropertyKey(JarProperty(p))), S_FALSE);
        EXPECT_EQ(store->SetValue(jarPropertyKey(JarProperty(p)), value), STG_E_ACCESSDENIED);
    }
    EXPECT_EQ(store->Commit(), STG_E_ACCESSDENIED);
    PROPERTYKEY other = {kClsidProperties, 99};
    EXPECT_EQ(store->GetValue(other, &value), S_OK);
    EXPECT_EQ(value.vt, VT_EMPTY) << "a property the jar does not give";
    PROPERTYKEY key;
    EXPECT_EQ(store->GetAt(9, &key), E_INVALIDARG);
}

// Registered, the class is created through COM from either apartment; another
// program's handler is kept beside and comes back; a list someone else wrote
// stays.
TEST_F(PropertiesTest, RegistrationKeepsAForeignHandlerAndPutsItBack) {
    setRegistryString(HKEY_LOCAL_MACHINE, kHandlerKey, nullptr, kForeignHandler);
    setRegistryString(HKEY_CLASSES_ROOT, PROPERTY_LISTS_KEY_PATH, "PreviewTitle", "prop:System.Title");
    ASSERT_EQ(dll().registerServer(), S_OK);
    std::string bytes;
    DWORD type = 0;
    ASSERT_TRUE(queryRegistryValue(HKEY_LOCAL_MACHINE, kHandlerKey, nullptr, &type, &bytes));
    EXPECT_EQ(bytes, std::string(CLSID_JARPROPERTIES_TEXT) + '\0');
    ASSERT_TRUE(queryRegistryValue(HKEY_LOCAL_MACHINE, kHandlerKey, SAVED_PROPERTY_HANDLER_VALUE, &type, &bytes));
    EXPECT_EQ(bytes, std::string(kForeignHandler) + '\0');
    ASSERT_TRUE(queryRegistryValue(HKEY_CLASSES_ROOT, PROPERTY_LISTS_KEY_PATH, "FullDetails", &type, &bytes));
    ASSERT_TRUE(queryRegistryValue(HKEY_CLASSES_ROOT, PROPERTIES_INPROC_SERVER_KEY_PATH, "ThreadingModel", &type, &bytes));
    EXPECT_EQ(bytes, std::string("Both") + '\0');
    for (DWORD model : {COINIT_APARTMENTTHREADED, COINIT_MULTITHREADED}) {
        std::thread([model] {
            CoInitializeEx(nullptr, model);
            ComPtr<IInitializeWithStream> init;
            EXPECT_EQ(CoCreateInstance(kClsidProperties, nullptr, CLSCTX_INPROC_SERVER, IID_IInitializeWithStream,
                                       reinterpret_cast<void**>(init.put())),
                      S_OK);
            if (init) EXPECT_EQ(init->Initialize(streamOn(fixturePath("metadata/osgi-bundle.jar")).get(), STGM_READ), S_OK);
            init.reset();
            CoUninitialize();
        }).join();
    }
    ASSERT_EQ(dll().unregisterServer(), S_OK);
    ASSERT_TRUE(queryRegistryValue(HKEY_LOCAL_MACHINE, kHandlerKey, nullptr, &type, &bytes));
    EXPECT_EQ(bytes, std::string(kForeignHandler) + '\0') << "the foreign handler is back";
    EXPECT_FALSE(queryRegistryValue(HKEY_LOCAL_MACHINE, kHandlerKey, SAVED_PROPERTY_HANDLER_VALUE, &type, &bytes));
    EXPECT_FALSE(queryRegistryValue(HKEY_CLASSES_ROOT, PROPERTY_LISTS_KEY_PATH, "FullDetails", &type, &bytes));
    ASSERT_TRUE(queryRegistryValue(HKEY_CLASSES_ROOT, PROPERTY_LISTS_KEY_PATH, "PreviewTitle", &type, &bytes));
    EXPECT_EQ(bytes, std::string("prop:System.Title") + '\0') << "someone else's list stays";
    EXPECT_FALSE(registryKeyExists(HKEY_CLASSES_ROOT, PROPERTIES_CLASS_KEY_PATH));
    deleteRegistryTree(HKEY_LOCAL_MACHINE, kHandlerKey);
    deleteRegistryTree(HKEY_CLASSES_ROOT, PROPERTY_LISTS_KEY_PATH);
}

}  // namespace
