// Self-registration in the real registry of the test prefix: what
// DllRegisterServer writes, what DllUnregisterServer removes and puts back,
// the undo after a failed step, the one message box per failed call, and the
// association-change notice.
#include <gtest/gtest.h>
#include <olectl.h>

#include <cctype>
#include <string>
#include <vector>

#include "registration/RegistryWrite.h"
#include "registration/SelfRegistration.h"
#include "win/RegistrationTestSupport.h"

namespace {

const wchar_t kRegisterFailedText[] =
    L"Error registering Shell Extension!\n"
    L"You need Administrator rights, lack of this may be the reason for failure!\n\n"
    L"Also, you should install Java before, so that a filetype '.jar' exists in the registry.\n";
const wchar_t kUnregisterFailedText[] =
    L"Error unregistering Shell Extension!\n"
    L"You need Administrator rights, lack of those may be the reason for failure!";

const std::string kJarfile = "jarfile";
const std::string kDefaultIcon = "jarfile\\DefaultIcon";
const std::string kConfig = CLASS_KEY_PATH "\\config";
const std::string kInProc = CLASS_KEY_PATH "\\InProcServer32";
const HRESULT kChildMustBeVolatile = HRESULT(0x800703FD);

RegValue rawValue(DWORD type, const std::string& bytes) {
    RegValue v;
    v.type = type;
    v.bytes = bytes;
    return v;
}

bool valueExists(HKEY root, const std::string& key, const char* name) {
    RegValue ignored;
    return readValue(root, key, name, &ignored);
}

void expectValue(HKEY root, const std::string& key, const char* name, const RegValue& want, const char* what) {
    RegValue got;
    ASSERT_TRUE(readValue(root, key, name, &got)) << what << ": " << key << " [" << (name ? name : "default")
                                                  << "] is missing";
    EXPECT_EQ(got, want) << what << ": " << key << " [" << (name ? name : "default") << "]";
}

std::string jarfileKey(const char* sub) { return kJarfile + "\\" + sub; }

class RegistrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(dll().module(), nullptr) << "Morvane.dll not loadable";
        clean();
        listener.takeCount();
    }
    void TearDown() override { clean(); }

    static void clean() {
        deleteRegistryTree(HKEY_CLASSES_ROOT, kJarfile);
        deleteRegistryTree(HKEY_CLASSES_ROOT, CLASS_KEY_PATH);
        deleteRegistryValue(HKEY_LOCAL_MACHINE, APPROVED_KEY_PATH, CLSID_JARICON_TEXT);
    }

    // Every entry of a complete registration by the DLL under test.
    void expectRegistered(const char* what) {
        struct Entry {
            HKEY root;
            std::string key;
            const char* name;
            RegValue value;
        } const entries[] = {
            {HKEY_CLASSES_ROOT, CLASS_KEY_PATH, nullptr, szValue(REG_TEST_DESCRIPTION)},
            {HKEY_CLASSES_ROOT, kConfig, "DefaultIcon", szValue("")},
            {HKEY_CLASSES_ROOT, kInProc, nullptr, szValue(dll().path())},
            {HKEY_CLASSES_ROOT, kInProc, "ThreadingModel", szValue("Apartment")},
            {HKEY_LOCAL_MACHINE, APPROVED_KEY_PATH, CLSID_JARICON_TEXT, szValue(REG_TEST_DESCRIPTION)},
            {HKEY_CLASSES_ROOT, kDefaultIcon, nullptr, szValue("%1")},
            {HKEY_CLASSES_ROOT, jarfileKey(kHandlerKeys[0]), nullptr, szValue(CLSID_JARICON_TEXT)},
            {HKEY_CLASSES_ROOT, jarfileKey(kHandlerKeys[1]), nullptr, szValue(CLSID_JARICON_TEXT)},
            {HKEY_CLASSES_ROOT, jarfileKey(kHandlerKeys[2]), nullptr, szValue(CLSID_JARICON_TEXT)},
            {HKEY_CLASSES_ROOT, jarfileKey(kHandlerKeys[3]), nullptr, szValue(CLSID_JARICON_TEXT)},
        };
        for (const Entry& e : entries) expectValue(e.root, e.key, e.name, e.value, what);
    }

    // Everything registration wrote is gone; the intermediate keys stay.
    void expectUnregistered(const char* what) {
        EXPECT_FALSE(registryKeyExists(HKEY_CLASSES_ROOT, CLASS_KEY_PATH)) << what;
        EXPECT_FALSE(valueExists(HKEY_LOCAL_MACHINE, APPROVED_KEY_PATH, CLSID_JARICON_TEXT)) << what;
        for (const char* handler : kHandlerKeys)
            EXPECT_FALSE(registryKeyExists(HKEY_CLASSES_ROOT, jarfileKey(handler))) << what << ": " << handler;
        EXPECT_TRUE(registryKeyExists(HKEY_CLASSES_ROOT, jarfileKey("shellex\\PropertySheetHandlers"))) << what;
        EXPECT_FALSE(valueExists(HKEY_CLASSES_ROOT, kDefaultIcon, SAVED_ICON_VALUE)) << what;
    }

    AssociationChangeListener listener;
};

TEST_F(RegistrationTest, RoundTripsPutTheFormerDefaultIconBack) {
    ASSERT_TRUE(listener.listening());
    enum class Start { noFileType, noDefaultIconKey, noDefaultValue, defaultValue };
    struct Case {
        const char* what;
        Start start;
        RegValue before;  // the former default of jarfile\DefaultIcon (Start::defaultValue)
        bool saved;       // kept under the saved-icon value while registered
    } const cases[] = {
        {"no jarfile key", Start::noFileType, {}, false},
        {"jarfile without DefaultIcon", Start::noDefaultIconKey, {}, false},
        {"DefaultIcon without a default value", Start::noDefaultValue, {}, false},
        {"zero-byte REG_SZ default", Start::defaultValue, rawValue(REG_SZ, ""), false},
        {"empty text with its terminator", Start::defaultValue, szValue(""), true},
        {"REG_SZ default", Start::defaultValue, szValue("C:\\Program Files\\Java\\jre\\bin\\javaw.exe,0"), true},
        {"REG_SZ stored without terminator", Start::defaultValue, rawValue(REG_SZ, "C:\\jre\\javaw.exe,2"), true},
        {"REG_EXPAND_SZ default", Start::defaultValue,
         rawValue(REG_EXPAND_SZ, std::string("%JAVA_HOME%\\bin\\javaw.exe,1\0", 29)), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        clean();
        if (c.start != Start::noFileType) {
            setRegistryString(HKEY_CLASSES_ROOT, kJarfile, nullptr, "Executable Jar File");
            setRegistryString(HKEY_CLASSES_ROOT, jarfileKey("shell\\open\\command"), nullptr, "javaw -jar \"%1\"");
        }
        if (c.start == Start::noDefaultValue) setRegistryString(HKEY_CLASSES_ROOT, kDefaultIcon, "other", "kept");
        if (c.start == Start::defaultValue) writeValue(HKEY_CLASSES_ROOT, kDefaultIcon, nullptr, c.before);

        ASSERT_EQ(dll().registerServer(), S_OK);
        expectRegistered(c.what);
        if (c.saved)
            expectValue(HKEY_CLASSES_ROOT, kDefaultIcon, SAVED_ICON_VALUE, c.before, c.what);
        else
            EXPECT_FALSE(valueExists(HKEY_CLASSES_ROOT, kDefaultIcon, SAVED_ICON_VALUE));
        EXPECT_EQ(listener.takeCount(), 1) << "the shell hears of the new association";

        ASSERT_EQ(dll().unregisterServer(), S_OK);
        expectUnregistered(c.what);
        if (c.saved)
            expectValue(HKEY_CLASSES_ROOT, kDefaultIcon, nullptr, c.before, c.what);
        else
            EXPECT_FALSE(valueExists(HKEY_CLASSES_ROOT, kDefaultIcon, nullptr)) << "the %1 default is deleted";
        if (c.start == Start::noDefaultValue) expectValue(HKEY_CLASSES_ROOT, kDefaultIcon, "other", szValue("kept"), c.what);
        if (c.start != Start::noFileType) {
            expectValue(HKEY_CLASSES_ROOT, kJarfile, nullptr, szValue("Executable Jar File"), c.what);
            expectValue(HKEY_CLASSES_ROOT, jarfileKey("shell\\open\\command"), nullptr,
                        szValue("javaw -jar \"%1\""), c.what);
        }
        EXPECT_EQ(listener.takeCount(), 1) << "the shell hears that the association is gone";
    }
}

TEST_F(RegistrationTest, RepeatedRegistrationKeepsTheSavedIconAndTheDiagnosticSwitches) {
    const RegValue javaIcon = rawValue(REG_EXPAND_SZ, std::string("%SystemRoot%\\java.ico\0", 22));
    writeValue(HKEY_CLASSES_ROOT, kDefaultIcon, nullptr, javaIcon);
    ASSERT_EQ(dll().registerServer(), S_OK);

    // An administrator switches diagnostics on and sets a fallback icon.
    setRegistryString(HKEY_CLASSES_ROOT, kConfig, "debugLog", "1");
    setRegistryString(HKEY_CLASSES_ROOT, kConfig, "DropTarget_Debug_ShowInfo", "1");
    setRegistryString(HKEY_CLASSES_ROOT, kConfig, "DefaultIcon", "C:\\icons\\jar.ico,3");

    ASSERT_EQ(dll().registerServer(), S_OK);
    expectRegistered("second registration");
    expectValue(HKEY_CLASSES_ROOT, kDefaultIcon, SAVED_ICON_VALUE, javaIcon, "the first save stands");
    expectValue(HKEY_CLASSES_ROOT, kConfig, "debugLog", szValue("1"), "survives");
    expectValue(HKEY_CLASSES_ROOT, kConfig, "DropTarget_Debug_ShowInfo", szValue("1"), "survives");
    EXPECT_EQ(listener.takeCount(), 2);

    ASSERT_EQ(dll().unregisterServer(), S_OK);
    expectUnregistered("after two registrations");
    expectValue(HKEY_CLASSES_ROOT, kDefaultIcon, nullptr, javaIcon, "restored");
    EXPECT_FALSE(registryKeyExists(HKEY_CLASSES_ROOT, kConfig)) << "the config key goes with all its values";
}

TEST_F(RegistrationTest, MissingApprovalListFailsOnceAndTakesTheClassKeyBack) {
    const RegValue javaIcon = szValue("C:\\jre\\bin\\javaw.exe,0");
    writeValue(HKEY_CLASSES_ROOT, kDefaultIcon, nullptr, javaIcon);
    RegistryKeySnapshot approved(HKEY_LOCAL_MACHINE, APPROVED_KEY_PATH);
    ASSERT_TRUE(approved.existed()) << "a fresh prefix has the approval list";
    deleteRegistryTree(HKEY_LOCAL_MACHINE, APPROVED_KEY_PATH);
    ASSERT_FALSE(registryKeyExists(HKEY_LOCAL_MACHINE, APPROVED_KEY_PATH));

    {
        MessageBoxWatchdog watchdog(REG_TEST_BOX_CAPTION);
        EXPECT_EQ(dll().registerServer(), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
        ASSERT_EQ(watchdog.count(), 1);
        EXPECT_EQ(watchdog.lastText(), kRegisterFailedText);
    }
    EXPECT_FALSE(registryKeyExists(HKEY_CLASSES_ROOT, CLASS_KEY_PATH)) << "the class key is undone";
    EXPECT_FALSE(registryKeyExists(HKEY_LOCAL_MACHINE, APPROVED_KEY_PATH)) << "the list is never created";
    expectValue(HKEY_CLASSES_ROOT, kDefaultIcon, nullptr, javaIcon, "the file-type step never ran");
    EXPECT_FALSE(registryKeyExists(HKEY_CLASSES_ROOT, jarfileKey("shellex")));
    EXPECT_EQ(listener.takeCount(), 0) << "no notice after a failed registration";

    // Unregistration runs all three steps and reports the list's code.
    setRegistryString(HKEY_CLASSES_ROOT, jarfileKey(kHandlerKeys[0]), nullptr, CLSID_JARICON_TEXT);
    setRegistryString(HKEY_CLASSES_ROOT, kInProc, nullptr, "C:\\old\\Morvane.dll");
    {
        MessageBoxWatchdog watchdog(REG_TEST_BOX_CAPTION);
        EXPECT_EQ(dll().unregisterServer(), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
        ASSERT_EQ(watchdog.count(), 1);
        EXPECT_EQ(watchdog.lastText(), kUnregisterFailedText);
    }
    EXPECT_FALSE(registryKeyExists(HKEY_CLASSES_ROOT, jarfileKey(kHandlerKeys[0])));
    EXPECT_FALSE(registryKeyExists(HKEY_CLASSES_ROOT, CLASS_KEY_PATH));

    approved.restore();
    EXPECT_TRUE(registryKeyExists(HKEY_LOCAL_MACHINE, APPROVED_KEY_PATH));
}

// A non-volatile key cannot be created below a volatile one: that makes one
// chosen action of a step fail with ERROR_CHILD_MUST_BE_VOLATILE.
TEST_F(RegistrationTest, FailureInTheClassKeyStepLeavesWhatItWroteAndTouchesNothingElse) {
    ASSERT_TRUE(createVolatileKey(HKEY_CLASSES_ROOT, CLASS_KEY_PATH));
    {
        MessageBoxWatchdog watchdog(REG_TEST_BOX_CAPTION);
        EXPECT_EQ(dll().registerServer(), kChildMustBeVolatile);
        ASSERT_EQ(watchdog.count(), 1);
        EXPECT_EQ(watchdog.lastText(), kRegisterFailedText);
    }
    expectValue(HKEY_CLASSES_ROOT, CLASS_KEY_PATH, nullptr, szValue(REG_TEST_DESCRIPTION),
                "the failed step is not undone");
    EXPECT_FALSE(registryKeyExists(HKEY_CLASSES_ROOT, kInProc));
    EXPECT_FALSE(valueExists(HKEY_LOCAL_MACHINE, APPROVED_KEY_PATH, CLSID_JARICON_TEXT));
    EXPECT_FALSE(registryKeyExists(HKEY_CLASSES_ROOT, kJarfile));
    EXPECT_EQ(listener.takeCount(), 0);
}

TEST_F(RegistrationTest, FailureOnTheFourthHandlerKeyUndoesTheEarlierSteps) {
    writeValue(HKEY_CLASSES_ROOT, kDefaultIcon, nullptr, szValue("javaw.exe,0"));
    ASSERT_TRUE(createVolatileKey(HKEY_CLASSES_ROOT, jarfileKey("shellex\\PropertySheetHandlers")));
    {
        MessageBoxWatchdog watchdog(REG_TEST_BOX_CAPTION);
        EXPECT_EQ(dll().registerServer(), kChildMustBeVolatile);
        ASSERT_EQ(watchdog.count(), 1);
        EXPECT_EQ(watchdog.lastText(), kRegisterFailedText);
    }
    EXPECT_FALSE(registryKeyExists(HKEY_CLASSES_ROOT, CLASS_KEY_PATH));
    EXPECT_FALSE(valueExists(HKEY_LOCAL_MACHINE, APPROVED_KEY_PATH, CLSID_JARICON_TEXT));
    // The failed step itself is not undone.
    expectValue(HKEY_CLASSES_ROOT, kDefaultIcon, nullptr, szValue("%1"), "taken over");
    expectValue(HKEY_CLASSES_ROOT, kDefaultIcon, SAVED_ICON_VALUE, szValue("javaw.exe,0"), "saved");
    for (int i = 0; i < 3; ++i)
        expectValue(HKEY_CLASSES_ROOT, jarfileKey(kHandlerKeys[i]), nullptr, szValue(CLSID_JARICON_TEXT),
                    kHandlerKeys[i]);
    EXPECT_FALSE(registryKeyExists(HKEY_CLASSES_ROOT, jarfileKey(kHandlerKeys[3])));
    EXPECT_EQ(listener.takeCount(), 0);
}

// Unregistering a library that was never registered removes only the
// default icon that registration itself writes.
TEST_F(RegistrationTest, UnregistrationWithoutSavedIconRemovesOnlyOurMarker) {
    struct Case {
        const char* what;
        RegValue icon;
        bool kept;
    } const cases[] = {
        {"the Java installer's icon", szValue("C:\\Program Files\\Java\\jre\\bin\\javaw.exe,0"), true},
        {"an expandable icon path", rawValue(REG_EXPAND_SZ, std::string("%ProgramFiles%\\java.ico\0", 24)), true},
        {"the marker as REG_EXPAND_SZ", rawValue(REG_EXPAND_SZ, std::string("%1\0", 3)), true},
        {"the marker followed by more text", szValue("%1,0"), true},
        {"the marker registration writes", szValue("%1"), false},
        {"the marker stored without terminator", rawValue(REG_SZ, "%1"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        clean();
        writeValue(HKEY_CLASSES_ROOT, kDefaultIcon, nullptr, c.icon);
        MessageBoxWatchdog watchdog(REG_TEST_BOX_CAPTION);
        EXPECT_EQ(dll().unregisterServer(), S_OK);
        EXPECT_EQ(watchdog.count(), 0) << "success is silent";
        RegValue after;
        bool present = readValue(HKEY_CLASSES_ROOT, kDefaultIcon, nullptr, &after);
        EXPECT_EQ(present, c.kept);
        if (c.kept && present) {
            EXPECT_EQ(after, c.icon);
        }
    }

    clean();
    EXPECT_EQ(dll().unregisterServer(), S_OK) << "nothing registered, no jarfile key";
    EXPECT_FALSE(registryKeyExists(HKEY_CLASSES_ROOT, kJarfile)) << "and none is created";
}

// After registration another program takes the jar icon or a handler over:
// unregistration leaves what that program wrote, and the saved icon with it.
// A handler that still names the class, in whatever letter case, goes.
TEST_F(RegistrationTest, UnregistrationLeavesWhatOtherProgramsTookOver) {
    const RegValue javaIcon = szValue("C:\\jre\\bin\\javaw.exe,0");
    const RegValue otherClass = szValue("{0A1B2C3D-4E5F-4061-8293-A4B5C6D7E8F9}");
    std::string lowerCase = CLSID_JARICON_TEXT;
    for (char& ch : lowerCase) ch = char(tolower(static_cast<unsigned char>(ch)));
    struct Case {
        const char* what;
        std::string key;  // written after registration
        RegValue value;
        bool ours;  // unregistration removes it (or puts the saved icon back)
    } const cases[] = {
        {"another icon", kDefaultIcon, szValue("C:\\Other\\jar.ico,0"), false},
        {"the marker as REG_EXPAND_SZ", kDefaultIcon, rawValue(REG_EXPAND_SZ, std::string("%1\0", 3)), false},
        {"another icon handler", jarfileKey(kHandlerKeys[0]), otherClass, false},
        {"another drop handler", jarfileKey(kHandlerKeys[2]), otherClass, false},
        {"the class followed by more text", jarfileKey(kHandlerKeys[3]), szValue(CLSID_JARICON_TEXT ","), false},
        {"the class in lower case", jarfileKey(kHandlerKeys[1]), szValue(lowerCase), true},
        {"the class stored without terminator", jarfileKey(kHandlerKeys[3]), rawValue(REG_SZ, CLSID_JARICON_TEXT),
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        clean();
        writeValue(HKEY_CLASSES_ROOT, kDefaultIcon, nullptr, javaIcon);
        ASSERT_EQ(dll().registerServer(), S_OK);
        writeValue(HKEY_CLASSES_ROOT, c.key, nullptr, c.value);
        ASSERT_EQ(dll().unregisterServer(), S_OK);
        const bool icon = c.key == kDefaultIcon;
        if (!c.ours) expectValue(HKEY_CLASSES_ROOT, c.key, nullptr, c.value, "kept");
        if (icon) expectValue(HKEY_CLASSES_ROOT, kDefaultIcon, SAVED_ICON_VALUE, javaIcon, "the saved icon stays");
        if (!icon) {
            expectValue(HKEY_CLASSES_ROOT, kDefaultIcon, nullptr, javaIcon, "restored");
            EXPECT_FALSE(valueExists(HKEY_CLASSES_ROOT, kDefaultIcon, SAVED_ICON_VALUE));
        }
        for (const char* handler : kHandlerKeys) {
            if (jarfileKey(handler) != c.key || c.ours) {
                EXPECT_FALSE(registryKeyExists(HKEY_CLASSES_ROOT, jarfileKey(handler))) << handler;
            }
        }
    }
}

// The DLL of the other bitness keeps the shared keys in place only while the
// file that its class key names is there.
TEST_F(RegistrationTest, TheOtherViewCountsOnlyWhileItsDllFileExists) {
    BOOL wow64 = FALSE;
    const REGSAM otherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY
                             : IsWow64Process(GetCurrentProcess(), &wow64) && wow64 ? KEY_WOW64_64KEY
                                                                                   : 0;
    if (otherView == 0) GTEST_SKIP() << "a 32-bit Windows has one registry view";
    auto cleanOtherView = [&] {
        deleteRegistryTree(openInView(HKEY_CLASSES_ROOT, "CLSID", otherView).get(), CLSID_JARICON_TEXT);
    };
    const struct {
        const char* what;
        std::string file;
        bool counts;
    } cases[] = {
        {"its file is there", dll().path(), true},
        {"its folder deleted by hand", "C:\\deleted-by-hand\\Morvane.dll", false},
        {"no file named", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        clean();
        cleanOtherView();
        writeValue(HKEY_CLASSES_ROOT, kDefaultIcon, nullptr, kFormerIcon);
        ASSERT_EQ(dll().registerServer(), S_OK);
        RegKey server;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Classes\\" CLASS_KEY_PATH "\\InProcServer32", 0,
                                  nullptr, 0, KEY_ALL_ACCESS | otherView, nullptr, server.put(), nullptr),
                  ERROR_SUCCESS);
        writeValue(server.get(), "", nullptr, szValue(c.file));
        ASSERT_EQ(dll().unregisterServer(), S_OK);
        EXPECT_EQ(fileTypeTree(), fileType(c.counts));
    }
    cleanOtherView();
}

TEST_F(RegistrationTest, OutOfMemoryWhileSavingTheIconGivesCodeOne) {
    // The registration code linked into this program: its allocations can be
    // made to fail (it registers this program's path, and is undone at once).
    writeValue(HKEY_CLASSES_ROOT, kDefaultIcon, nullptr, szValue("javaw.exe,0"));
    MessageBoxWatchdog watchdog(REG_TEST_BOX_CAPTION);
    armAllocationFailure(1);
    HRESULT hr = DllRegisterServer();
    armAllocationFailure(0);
    EXPECT_EQ(hr, HRESULT(0x80070001));
    EXPECT_EQ(watchdog.count(), 1);
    EXPECT_FALSE(registryKeyExists(HKEY_CLASSES_ROOT, CLASS_KEY_PATH));
    EXPECT_FALSE(valueExists(HKEY_LOCAL_MACHINE, APPROVED_KEY_PATH, CLSID_JARICON_TEXT));
    expectValue(HKEY_CLASSES_ROOT, kDefaultIcon, nullptr, szValue("javaw.exe,0"), "nothing taken over");
    EXPECT_FALSE(valueExists(HKEY_CLASSES_ROOT, kDefaultIcon, SAVED_ICON_VALUE));
}

// A library whose path does not fit the 260 characters of a path text
// refuses to register rather than registering its path cut short.
TEST_F(RegistrationTest, LibraryPathTooLongIsNotRegisteredCutShort) {
    std::vector<std::wstring> folders = {L"C:\\morvane-long-path"};
    for (int i = 0; i < 3; ++i) folders.push_back(folders.back() + L"\\" + std::wstring(90, wchar_t(L'a' + i)));
    for (const std::wstring& f : folders) CreateDirectoryW(f.c_str(), nullptr);
    const std::wstring copy = folders.back() + L"\\Morvane.dll";
    ASSERT_GT(copy.size(), size_t(MAX_PATH));
    ASSERT_TRUE(CopyFileW(widen(dll().path()).c_str(), copy.c_str(), FALSE));
    HMODULE module = LoadLibraryW(copy.c_str());
    ASSERT_NE(module, nullptr) << "error " << GetLastError();
    auto registerServer = reinterpret_cast<HRESULT(WINAPI*)()>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
    ASSERT_NE(registerServer, nullptr);
    {
        MessageBoxWatchdog watchdog(REG_TEST_BOX_CAPTION);
        EXPECT_EQ(registerServer(), HRESULT(0x80070001));
        EXPECT_EQ(watchdog.count(), 1);
    }
    EXPECT_FALSE(registryKeyExists(HKEY_CLASSES_ROOT, CLASS_KEY_PATH));
    EXPECT_FALSE(registryKeyExists(HKEY_CLASSES_ROOT, kJarfile));
    FreeLibrary(module);
    DeleteFileW(copy.c_str());
    for (auto f = folders.rbegin(); f != folders.rend(); ++f) RemoveDirectoryW(f->c_str());
}

TEST_F(RegistrationTest, EveryKeyIsClosedOnEveryPath) {
    struct Scenario {
        const char* what;
        void (*prepare)();
        HRESULT (*call)();
    } const scenarios[] = {
        {"registration", [] { writeValue(HKEY_CLASSES_ROOT, kDefaultIcon, nullptr, szValue("a.ico")); },
         [] { return dll().registerServer(); }},
        {"unregistration with a saved icon",
         [] {
             writeValue(HKEY_CLASSES_ROOT, kDefaultIcon, nullptr, szValue("a.ico"));
             dll().registerServer();
         },
         [] { return dll().unregisterServer(); }},
        {"unregistration without a saved icon", [] {}, [] { return dll().unregisterServer(); }},
        {"failure in the class key step", [] { createVolatileKey(HKEY_CLASSES_ROOT, CLASS_KEY_PATH); },
         [] { return dll().registerServer(); }},
        {"failure on a handler key",
         [] { createVolatileKey(HKEY_CLASSES_ROOT, "jarfile\\shellex\\PropertySheetHandlers"); },
         [] { return dll().registerServer(); }},
    };
    MessageBoxWatchdog watchdog(REG_TEST_BOX_CAPTION);
    for (const Scenario& s : scenarios) {
        SCOPED_TRACE(s.what);
        // The first round opens what the system keeps open for good (the
        // predefined root keys).
        clean();
        s.prepare();
        s.call();
        clean();
        s.prepare();
        DWORD before = processHandleCount();
        ASSERT_GT(before, 0u);
        s.call();
        EXPECT_EQ(processHandleCount(), before);
    }
}

TEST(RegistryWriteTest, TextsAreStoredWithTheirTerminator) {
    const std::string scratch = "Software\\MorvaneRegistrationTest";
    deleteRegistryTree(HKEY_CURRENT_USER, scratch);
    HKEY key = nullptr;
    ASSERT_EQ(openOrCreateKey(HKEY_CURRENT_USER, scratch.c_str(), &key), ERROR_SUCCESS);
    EXPECT_EQ(writeKeyDefault(key, ""), ERROR_SUCCESS);
    expectValue(HKEY_CURRENT_USER, scratch, nullptr, rawValue(REG_SZ, std::string(1, '\0')), "one byte");
    EXPECT_EQ(writeNamedString(key, "name", "text"), ERROR_SUCCESS);
    expectValue(HKEY_CURRENT_USER, scratch, "name", rawValue(REG_SZ, std::string("text\0", 5)), "named");
    EXPECT_EQ(createKeyWithDefault(key, "a\\b\\c", "deep"), ERROR_SUCCESS);
    expectValue(HKEY_CURRENT_USER, scratch + "\\a\\b\\c", nullptr, szValue("deep"), "every level created");
    RegCloseKey(key);
    deleteRegistryTree(HKEY_CURRENT_USER, scratch);

    deleteRegistryTree(HKEY_CLASSES_ROOT, kJarfile);
    key = reinterpret_cast<HKEY>(1);
    ASSERT_EQ(openFileTypeKey(&key), ERROR_SUCCESS);
    ASSERT_NE(key, nullptr);
    RegCloseKey(key);
    EXPECT_TRUE(registryKeyExists(HKEY_CLASSES_ROOT, kJarfile)) << "created when missing";
    deleteRegistryTree(HKEY_CLASSES_ROOT, kJarfile);
}

TEST(RegistrationCodeTest, CodesMapToWin32Results) {
    const struct {
        LONG code;
        HRESULT hr;
    } cases[] = {
        {0, S_OK},
        {1, HRESULT(0x80070001)},
        {ERROR_FILE_NOT_FOUND, HRESULT(0x80070002)},
        {ERROR_ACCESS_DENIED, HRESULT(0x80070005)},
        {ERROR_CHILD_MUST_BE_VOLATILE, HRESULT(0x800703FD)},
        {0x12345, HRESULT(0x80072345)},
        {LONG(0x8007000E), HRESULT(0x8007000E)},
        {-1, HRESULT(-1)},
    };
    for (const auto& c : cases) EXPECT_EQ(hresultFromCode(c.code), c.hr) << c.code;
}

}  // namespace
