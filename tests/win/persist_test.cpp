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
    std::wstring path() const { return obj->path(); }
    std::string logName() const { return obj->szFileName; }

    OleApartment apartment;
    JarIconObj* obj = nullptr;
};

TEST_F(PathTest, LoadKeepsThePathAsGivenWhateverTheMode) {
    EXPECT_EQ(load(L"C:\\apps\\tool.jar", STGM_READ), S_OK);
    EXPECT_EQ(path(), L"C:\\apps\\tool.jar");
    EXPECT_EQ(load(L"D:\\\u0414\u043c\u0438\u0442\u0440\u0438\u0439\\caf\u00e9.jar", STGM_READWRITE | STGM_SHARE_EXCLUSIVE), S_OK);
    EXPECT_EQ(path(), L"D:\\\u0414\u043c\u0438\u0442\u0440\u0438\u0439\\caf\u00e9.jar");
    EXPECT_EQ(logName(), "D:\\???????\\caf\xe9.jar") << "the log's form in code page 1252";
}

TEST_F(PathTest, LoadOfAPathLongerThanWindowsPathsLeavesNoPath) {
    load(L"C:\\first.jar");
    std::wstring longest = L"\\\\?\\C:\\" + std::wstring(JarIconObj::kMaxPathUnits - 11, L'a') + L".jar";
    ASSERT_EQ(longest.size(), JarIconObj::kMaxPathUnits);
    EXPECT_EQ(load(longest), S_OK);
    EXPECT_EQ(path(), longest);
    EXPECT_EQ(logName().size(), size_t(MAX_PATH - 1)) << "the log line takes its start";
    EXPECT_EQ(load(longest + L"x"), S_OK);
    EXPECT_EQ(path(), L"") << "a cut-off path could name a different archive";
}

TEST_F(PathTest, InitializeTakesTheOneSelectedFile) {
    load(L"C:\\loaded.jar");
    DropDataObject* one = DropDataObject::createAnsi({"C:\\selected.jar"});
    EXPECT_EQ(initialize(one), S_OK);
    EXPECT_EQ(path(), L"C:\\selected.jar") << "the later call overwrites the earlier";
    one->Release();

    std::wstring deep = L"C:\\\u5f20\u4f1f\\" + std::wstring(300, L'd') + L"\\w\u00e9de.jar";
    DropDataObject* wide = DropDataObject::createWide({deep});
    EXPECT_EQ(initialize(wide), S_OK);
    EXPECT_EQ(path(), deep);
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
        EXPECT_EQ(path(), L"C:\\kept.jar") << c.what;
        c.data->Release();
    }
    EXPECT_EQ(initialize(nullptr), E_INVALIDARG);
    EXPECT_EQ(path(), L"C:\\kept.jar");
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
