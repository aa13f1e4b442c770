// How the object takes the archive's path (IPersistFile::Load for the icon,
// tip and drop handlers, IShellExtInit::Initialize for the property sheet),
// and the methods it does not support.
#include <gtest/gtest.h>

#include <string>

#include "com/JarIconObj.h"
#include "com/PersistFile.h"
#include "com/ShellExtInit.h"
#include "win/WinTestSupport.h"

namespace {

class PathTest : public ::testing::Test {
protected:
    void SetUp() override {
        obj = new JarIconObj();
        obj->AddRef();
    }
    void TearDown() override { obj->Release(); }

    HRESULT load(const std::wstring& path, DWORD mode = STGM_READ) {
        return obj->pPersistFile->Load(path.c_str(), mode);
    }
    HRESULT initialize(IDataObject* data) { return obj->pShellExtInit->Initialize(nullptr, data, nullptr); }
    std::string path() const { return obj->szFileName; }

    OleApartment apartment;
    JarIconObj* obj = nullptr;
};

TEST_F(PathTest, LoadStoresTheAnsiFormWhateverTheMode) {
    EXPECT_EQ(load(L"C:\\apps\\tool.jar", STGM_READ), S_OK);
    EXPECT_EQ(path(), "C:\\apps\\tool.jar");
    EXPECT_EQ(load(L"D:\\caf\u00e9\\b.jar", STGM_READWRITE | STGM_SHARE_EXCLUSIVE), S_OK);
    EXPECT_EQ(path(), "D:\\caf\xe9\\b.jar") << "code page 1252";
}

TEST_F(PathTest, LoadOfAPathTooLongForTheFieldLeavesNoPath) {
    load(L"C:\\first.jar");
    // 259 ANSI characters still fit with the terminator; 260 do not.
    std::wstring fits = L"C:\\" + std::wstring(252, L'a') + L".jar";
    ASSERT_EQ(fits.size(), 259u);
    EXPECT_EQ(load(fits), S_OK);
    EXPECT_EQ(path(), std::string(fits.begin(), fits.end()));
    EXPECT_EQ(load(fits + L"x"), S_OK);
    EXPECT_EQ(path(), "") << "a cut-off path could name a different archive";
}

TEST_F(PathTest, InitializeTakesTheOneSelectedFile) {
    load(L"C:\\loaded.jar");
    DropDataObject* one = DropDataObject::createAnsi({"C:\\selected.jar"});
    EXPECT_EQ(initialize(one), S_OK);
    EXPECT_EQ(path(), "C:\\selected.jar") << "the later call overwrites the earlier";
    one->Release();

    DropDataObject* wide = DropDataObject::createWide({L"C:\\w\u00e9de.jar"});
    EXPECT_EQ(initialize(wide), S_OK);
    EXPECT_EQ(path(), "C:\\w\xe9" "de.jar");
    wide->Release();
}

TEST_F(PathTest, InitializeFailuresKeepThePath) {
    load(L"C:\\kept.jar");
    struct Case {
        const char* what;
        DropDataObject* data;
        HRESULT expected;
    } cases[] = {
        {"two files", DropDataObject::createAnsi({"C:\\a.jar", "C:\\b.jar"}), E_FAIL},
        {"no file", DropDataObject::createAnsi({}), E_FAIL},
        {"no CF_HDROP", DropDataObject::createEmpty(), E_UNEXPECTED},
    };
    for (Case& c : cases) {
        EXPECT_EQ(initialize(c.data), c.expected) << c.what;
        EXPECT_EQ(path(), "C:\\kept.jar") << c.what;
        c.data->Release();
    }
    EXPECT_EQ(initialize(nullptr), E_INVALIDARG);
    EXPECT_EQ(path(), "C:\\kept.jar");
}

TEST_F(PathTest, UnsupportedMethodsWriteNothing) {
    IPersistFile* persist = obj->pPersistFile;
    CLSID clsid = {0x12345678, 0, 0, {0}};
    EXPECT_EQ(persist->GetClassID(&clsid), E_NOTIMPL);
    EXPECT_EQ(clsid.Data1, 0x12345678u);
    EXPECT_EQ(persist->IsDirty(), E_NOTIMPL) << "not S_FALSE";
    EXPECT_EQ(persist->Save(L"C:\\x.jar", TRUE), E_NOTIMPL);
    EXPECT_EQ(persist->SaveCompleted(L"C:\\x.jar"), E_NOTIMPL);
    LPOLESTR current = reinterpret_cast<LPOLESTR>(0x1234);
    EXPECT_EQ(persist->GetCurFile(&current), E_NOTIMPL);
    EXPECT_EQ(current, reinterpret_cast<LPOLESTR>(0x1234));

    IDropTarget* drop = nullptr;
    ASSERT_EQ(obj->QueryInterface(IID_IDropTarget, reinterpret_cast<void**>(&drop)), S_OK);
    EXPECT_EQ(drop->DragLeave(), S_OK);
    drop->Release();

    IShellPropSheetExt* sheet = nullptr;
    ASSERT_EQ(obj->QueryInterface(IID_IShellPropSheetExt, reinterpret_cast<void**>(&sheet)), S_OK);
    EXPECT_EQ(sheet->ReplacePage(0, nullptr, 0), E_NOTIMPL);
    sheet->Release();
}

}  // namespace
