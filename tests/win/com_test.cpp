// The COM server as the shell meets it: class factory, module lifetime, the
// object's interface table, identity and reference counting, and the two ways
// the shell hands over the archive's path.
#include <gtest/gtest.h>

#include "win/WinTestSupport.h"

namespace {

const IID* const kObjectInterfaces[] = {&IID_IUnknown,  &IID_IPersistFile,   &IID_IQueryInfo,
                                        &IID_IDropTarget, &IID_IExtractIconA, &IID_IShellExtInit,
                                        &IID_IShellPropSheetExt};

class ComTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(dll().module(), nullptr) << "Morvane.dll not loadable"; }
    OleApartment apartment;
};

template <typename T = IUnknown>
T* query(IUnknown* from, REFIID riid) {
    T* p = nullptr;
    EXPECT_EQ(from->QueryInterface(riid, reinterpret_cast<void**>(&p)), S_OK);
    return p;
}

ULONG refCount(IUnknown* p) {
    p->AddRef();
    return p->Release();
}

TEST_F(ComTest, FactoryIsOnlyForTheOneClass) {
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(dll().getClassObject(IID_IUnknown, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(p, nullptr);
    p = reinterpret_cast<void*>(1);
    EXPECT_EQ(dll().getClassObject(kClsidJarIcon, IID_IPersistFile, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
}

TEST_F(ComTest, FactoryReferencesKeepTheModuleLoaded) {
    ASSERT_EQ(dll().canUnloadNow(), S_OK);
    IClassFactory* f1 = nullptr;
    IUnknown* f2 = nullptr;
    ASSERT_EQ(dll().getClassObject(kClsidJarIcon, IID_IClassFactory, reinterpret_cast<void**>(&f1)), S_OK);
    ASSERT_EQ(dll().getClassObject(kClsidJarIcon, IID_IUnknown, reinterpret_cast<void**>(&f2)), S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(f1), f2);  // the one static factory
    EXPECT_EQ(dll().canUnloadNow(), S_FALSE);
    f2->Release();
    EXPECT_EQ(dll().canUnloadNow(), S_FALSE);
    EXPECT_EQ(f1->Release(), 0u);
    EXPECT_EQ(dll().canUnloadNow(), S_OK);

    // Reaching zero frees nothing: the factory is handed out again and works.
    ASSERT_EQ(dll().getClassObject(kClsidJarIcon, IID_IClassFactory, reinterpret_cast<void**>(&f1)), S_OK);
    EXPECT_EQ(f1->LockServer(TRUE), S_OK);
    EXPECT_EQ(f1->LockServer(TRUE), S_OK);
    f1->Release();
    EXPECT_EQ(dll().canUnloadNow(), S_FALSE);
    f1->LockServer(FALSE);
    EXPECT_EQ(dll().canUnloadNow(), S_FALSE);
    f1->LockServer(FALSE);
    EXPECT_EQ(dll().canUnloadNow(), S_OK);
}

TEST_F(ComTest, CreateInstanceResults) {
    IClassFactory* factory = nullptr;
    ASSERT_EQ(dll().getClassObject(kClsidJarIcon, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);

    // Any non-null outer object is refused before it is ever called.
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory), IID_IUnknown, &p),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(p, reinterpret_cast<void*>(1)) << "the out-parameter is not written on this path";

    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IExtractIconW, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    factory->Release();
    EXPECT_EQ(dll().canUnloadNow(), S_OK) << "a refused object is destroyed at once";

    IUnknown* obj = nullptr;
    ASSERT_EQ(dll().createObject(kClsidJarIcon, reinterpret_cast<void**>(&obj)), S_OK);
    EXPECT_EQ(refCount(obj), 1u);
    IShellExtInit* init = nullptr;
    ASSERT_EQ(dll().createObject(IID_IShellExtInit, reinterpret_cast<void**>(&init)), S_OK);
    EXPECT_EQ(dll().canUnloadNow(), S_FALSE) << "live objects keep the module";
    obj->Release();
    EXPECT_EQ(dll().canUnloadNow(), S_FALSE);
    init->Release();
    EXPECT_EQ(dll().canUnloadNow(), S_OK);
}

TEST_F(ComTest, EveryInterfaceSharesOneIdentityAndOneCount) {
    IUnknown* obj = nullptr;
    ASSERT_EQ(dll().createObject(IID_IUnknown, reinterpret_cast<void**>(&obj)), S_OK);
    for (const IID* iid : kObjectInterfaces) {
        IUnknown* itf = query(obj, *iid);
        ASSERT_NE(itf, nullptr);
        IUnknown* again = query(itf, *iid);
        EXPECT_EQ(again, itf) << "the same interface object each time";
        IUnknown* unk = query(itf, IID_IUnknown);
        EXPECT_EQ(unk, obj) << "IUnknown from every interface is the object itself";
        IUnknown* self = query(itf, kClsidJarIcon);
        EXPECT_EQ(self, obj);
        EXPECT_EQ(refCount(obj), 5u);
        self->Release();
        unk->Release();
        again->Release();
        itf->Release();
    }
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(obj->QueryInterface(IID_IExtractIconW, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(obj->QueryInterface(IID_IClassFactory, &p), E_NOINTERFACE);

    // AddRef through one interface, Release through another: still alive.
    IDropTarget* drop = query<IDropTarget>(obj, IID_IDropTarget);
    IQueryInfo* info = query<IQueryInfo>(obj, IID_IQueryInfo);
    drop->AddRef();
    info->Release();
    drop->Release();
    EXPECT_EQ(obj->Release(), 1u);
    EXPECT_EQ(dll().canUnloadNow(), S_FALSE);
    EXPECT_EQ(drop->Release(), 0u) << "the final Release through any interface destroys the object";
    EXPECT_EQ(dll().canUnloadNow(), S_OK);
}

}  // namespace
