// The built DLL registered the way an administrator does it, with regsvr32,
// and then created by the shell's road: CoCreateInstance of the class.
// This program never loads Morvane.dll itself, so whatever module COM loads
// is the one the registry names.
#include <gtest/gtest.h>

#include <string>

#include "win/RegistrationTestSupport.h"

namespace {

std::string besideThisProgram(const char* file) {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path, n);
    return dir.substr(0, dir.find_last_of('\\') + 1) + file;
}

DWORD runRegsvr32(const std::string& arguments) { return runProgram("regsvr32.exe " + arguments); }

class Regsvr32Test : public ::testing::Test {
protected:
    void SetUp() override { clean(); }
    void TearDown() override { clean(); }
    static void clean() {
        deleteRegistryTree(HKEY_CLASSES_ROOT, "jarfile");
        deleteRegistryTree(HKEY_CLASSES_ROOT, CLASS_KEY_PATH);
        deleteRegistryValue(HKEY_LOCAL_MACHINE, APPROVED_KEY_PATH, CLSID_JARICON_TEXT);
    }

    // Registers the DLL at path, creates the object through the registered
    // class, checks that the module COM loaded is that file, unregisters.
    void registerCreateUnregister(const std::string& path) {
        ASSERT_EQ(runRegsvr32("/s " + quoted(path)), 0u);
        RegValue inproc;
        ASSERT_TRUE(readValue(HKEY_CLASSES_ROOT, CLASS_KEY_PATH "\\InProcServer32", nullptr, &inproc));
        EXPECT_EQ(inproc, szValue(path)) << "the full path of the file that registered";
        RegValue model;
        ASSERT_TRUE(readValue(HKEY_CLASSES_ROOT, CLASS_KEY_PATH "\\InProcServer32", "ThreadingModel", &model));
        EXPECT_EQ(model, szValue("Apartment"));
        {
            OleApartment apartment;
            IPersistFile* persist = nullptr;
            ASSERT_EQ(CoCreateInstance(kClsidJarIcon, nullptr, CLSCTX_INPROC_SERVER, IID_IPersistFile,
                                       reinterpret_cast<void**>(&persist)),
                      S_OK);
            EXPECT_NE(GetModuleHandleA(path.c_str()), nullptr) << "COM loaded " << path;
            IExtractIconA* extract = nullptr;
            EXPECT_EQ(persist->QueryInterface(IID_IExtractIconA, reinterpret_cast<void**>(&extract)), S_OK);
            if (extract) extract->Release();
            persist->Release();
            CoFreeUnusedLibraries();
        }
        EXPECT_EQ(runRegsvr32("/u /s " + quoted(path)), 0u);
        EXPECT_FALSE(registryKeyExists(HKEY_CLASSES_ROOT, CLASS_KEY_PATH));
        OleApartment apartment;
        IUnknown* object = nullptr;
        EXPECT_EQ(CoCreateInstance(kClsidJarIcon, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                   reinterpret_cast<void**>(&object)),
                  REGDB_E_CLASSNOTREG);
    }
};

TEST_F(Regsvr32Test, RegistersTheBuiltDllForTheShell) { registerCreateUnregister(besideThisProgram("Morvane.dll")); }

TEST_F(Regsvr32Test, RegistersTheCopyInAnotherFolderByItsOwnPath) {
    const std::string folder = "C:\\Program Files\\Morvane copy";
    const std::string copy = folder + "\\Morvane.dll";
    CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(besideThisProgram("Morvane.dll").c_str(), copy.c_str(), FALSE));
    registerCreateUnregister(copy);
    DeleteFileA(copy.c_str());
    RemoveDirectoryA(folder.c_str());
}

// An install folder outside the ANSI code page: the class names the DLL's
// real path, and COM loads that very file.
TEST_F(Regsvr32Test, RegistersACopyInAFolderNamedInAnotherScript) {
    const std::wstring folder = L"C:\\Program Files\\\u041c\u043e\u0440\u0432\u0430\u043d\u0435";
    const std::wstring copy = folder + L"\\Morvane.dll";
    CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(widen(besideThisProgram("Morvane.dll")).c_str(), copy.c_str(), FALSE));
    HMODULE module = LoadLibraryW(copy.c_str());
    ASSERT_NE(module, nullptr);
    auto call = [module](const char* name) {
        auto entry = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(GetProcAddress(module, name));
        return entry ? entry() : E_FAIL;
    };
    ASSERT_EQ(call("DllRegisterServer"), S_OK);
    wchar_t registered[MAX_PATH] = {};
    DWORD size = sizeof registered;
    EXPECT_EQ(RegGetValueW(HKEY_CLASSES_ROOT, widen(CLASS_KEY_PATH "\\InProcServer32").c_str(), nullptr,
                           RRF_RT_REG_SZ, nullptr, registered, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(narrow(registered), narrow(copy));
    {
        OleApartment apartment;
        IUnknown* object = nullptr;
        EXPECT_EQ(CoCreateInstance(kClsidJarIcon, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                   reinterpret_cast<void**>(&object)),
                  S_OK);
        if (object) object->Release();
    }
    EXPECT_EQ(call("DllUnregisterServer"), S_OK);
    FreeLibrary(module);
    DeleteFileW(copy.c_str());
    RemoveDirectoryW(folder.c_str());
}

}  // namespace
