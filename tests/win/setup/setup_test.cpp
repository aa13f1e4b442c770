// The setup program (MORVANE_SETUP), run silently as deployment tools run it,
// in the tree's prefix: a 64-bit Windows gets both DLLs, each registered in
// its own registry view, a 32-bit one the 32-bit DLL only. The jar file type
// has the default icon a Java installer leaves, which must come back with its
// type and bytes after the uninstallation. The upgrade starts from an older
// version's setup made at test time (MORVANE_OLD_SETUP), which also shows that
// an older version never replaces a newer one.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "win/DropTestSupport.h"
#include "win/RegistrationTestSupport.h"

namespace {

const bool kWindowsIs64Bit = sizeof(void*) == 8;  // the prefix has the tree's bitness
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Morvane";
const char kPendingKey[] = "System\\CurrentControlSet\\Control\\Session Manager";
const DWORD kRestartCompletes = ERROR_SUCCESS_REBOOT_REQUIRED;
const DWORD kNewerInstalled = 2;
const DWORD kFailedAndTakenBack = ERROR_INSTALL_FAILURE;  // 1603

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The shell host of the system's bitness, beside this program, plays Explorer.
std::string shellHost() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string self = path;
    return self.substr(0, self.find_last_of('\\') + 1) + "shellhost.exe";
}

// Where the files go: the installation folder and the 32-bit DLL's folder
// (the same on 32-bit Windows).
struct Layout {
    std::string folder, folder32;
    std::string dll() const { return folder + "\\Morvane.dll"; }
    std::string dll32() const { return folder32 + "\\Morvane.dll"; }
    std::string uninstaller() const { return folder + "\\uninstall.exe"; }
};
const Layout kDefault = {"C:\\Program Files\\Morvane",
                         kWindowsIs64Bit ? "C:\\Program Files (x86)\\Morvane" : "C:\\Program Files\\Morvane"};
// Another folder (/D=) holds the 32-bit DLL of 64-bit Windows in "x86".
const Layout kChosen = {"C:\\Tools\\Morvane", kWindowsIs64Bit ? "C:\\Tools\\Morvane\\x86" : "C:\\Tools\\Morvane"};

// The files in both folders, each by its full path.
std::set<std::string> installedFiles(const Layout& at) {
    std::set<std::string> files;
    for (const std::string& folder : {at.folder, at.folder32}) {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) continue;
        do
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.insert(folder + "\\" + found.cFileName);
        while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return files;
}

std::set<std::string> shippedFiles(const Layout& at) {
    return {at.dll(), at.dll32(), at.folder + "\\morvane-inspect.exe", at.uninstaller()};
}

std::string setupLog() {
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + "Morvane-setup.log";
}

RegValue dwordValue(DWORD number) { return {REG_DWORD, std::string(reinterpret_cast<const char*>(&number), 4)}; }

// The entry as "Apps & features" shows it, in the system's own view.
RegistryTree expectedEntry(const Layout& at, const std::string& version) {
    size_t bytes = 0;
    for (const std::string& file : shippedFiles(at)) bytes += readBinaryFile(file).size();
    return {{"entry\\", {}},
            {"entry\\[DisplayName]", szValue("Morvane")},
            {"entry\\[DisplayVersion]", szValue(version)},
            {"entry\\[Publisher]", szValue("The Morvane developers")},
            {"entry\\[DisplayIcon]", szValue(at.dll() + ",0")},
            {"entry\\[InstallLocation]", szValue(at.folder)},
            {"entry\\[UninstallString]", szValue(quoted(at.uninstaller()))},
            {"entry\\[QuietUninstallString]", szValue(quoted(at.uninstaller()) + " /S")},
            {"entry\\[EstimatedSize]", dwordValue(DWORD(bytes / 1024))},
            {"entry\\[NoModify]", dwordValue(1)},
            {"entry\\[NoRepair]", dwordValue(1)}};
}

class SetupTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(environment("MORVANE_SETUP").empty()) << "MORVANE_SETUP names no setup program";
        for (const Layout& at : {kDefault, kChosen})
            ASSERT_EQ(installedFiles(at), std::set<std::string>()) << "installed already";
        writeValue(HKEY_CLASSES_ROOT, "jarfile\\DefaultIcon", nullptr, kFormerIcon);
        setRegistryString(HKEY_CLASSES_ROOT, ".jar", nullptr, "jarfile");
        DeleteFileA(setupLog().c_str());
    }
    void TearDown() override {
        for (const Layout& at : {kDefault, kChosen})
            if (HasFailure() && fileExists(at.uninstaller())) {
                runProgramAndChildren(quoted(at.uninstaller()) + " /S");
                runProgram("wineboot.exe -r");  // the uninstaller goes at the restart
            }
        deleteRegistryTree(HKEY_CLASSES_ROOT, "jarfile");
        deleteRegistryTree(HKEY_CLASSES_ROOT, ".jar");
    }

    static DWORD install(const char* setup, const std::string& options = " /S") {
        return runProgram(quoted(environment(setup)) + options);
    }

    static void expectInstalled(const Layout& at) {
        // On 32-bit Windows both views are the one.
        EXPECT_EQ(viewTree(KEY_WOW64_64KEY), registeredView(at.dll()));
        EXPECT_EQ(viewTree(KEY_WOW64_32KEY), registeredView(at.dll32()));
        EXPECT_EQ(fileTypeTree(), fileType(true));
        RegistryTree entry;
        readTree(HKEY_LOCAL_MACHINE, kUninstallKey, "entry", &entry);
        EXPECT_EQ(entry, expectedEntry(at, environment("MORVANE_VERSION")));
    }

    // The uninstaller as "Apps & features" or a deployment tool runs it
    // quietly, waited for: when it returns, nothing of ours is left but the
    // uninstaller itself, which goes with its folder at the next restart,
    // and the jar file type has its former icon back.
    static void uninstallAndExpectNothingLeft(const Layout& at) {
        RegValue command;
        ASSERT_TRUE(readValue(HKEY_LOCAL_MACHINE, kUninstallKey, "QuietUninstallString", &command));
        EXPECT_EQ(runProgram(command.bytes.c_str()), 0u);
        EXPECT_EQ(installedFiles(at), std::set<std::string>{at.uninstaller()});
        EXPECT_TRUE(at.folder == at.folder32 || !fileExists(at.folder32));
        for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
            EXPECT_EQ(viewTree(view), RegistryTree());
            EXPECT_FALSE(openInView(HKEY_LOCAL_MACHINE, kUninstallKey, view).get());
        }
        EXPECT_EQ(fileTypeTree(), fileType(false));
        EXPECT_NE(logText().find("exit code 0: removed\r\n"), std::string::npos) << logText();
        EXPECT_EQ(runProgram("wineboot.exe -r"), 0u);
        expectNothingLeft(at);
    }

    static std::string logText() { return fileExists(setupLog()) ? readBinaryFile(setupLog()) : ""; }

    static void expectNothingLeft(const Layout& at) {
        EXPECT_EQ(installedFiles(at), std::set<std::string>());
        EXPECT_FALSE(fileExists(at.folder));
        EXPECT_FALSE(fileExists(at.folder32));
        for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
            EXPECT_EQ(viewTree(view), RegistryTree());
            EXPECT_FALSE(openInView(HKEY_LOCAL_MACHINE, kUninstallKey, view).get());
        }
        EXPECT_EQ(fileTypeTree(), fileType(false));
    }
};

TEST_F(SetupTest, InstallsEachDllInItsFolderAndViewAndUninstallsWithoutATrace) {
    const struct {
        const char* options;
        const Layout& at;
    } cases[] = {{" /S", kDefault}, {" /S /D=C:\\Tools\\Morvane", kChosen}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.at.folder);
        ASSERT_EQ(install("MORVANE_SETUP", c.options), 0u);
        EXPECT_EQ(installedFiles(c.at), shippedFiles(c.at));
        expectInstalled(c.at);
        expectShellHostServes(shellHost(), "after setup");
        uninstallAndExpectNothingLeft(c.at);
    }
}

// Another program's property handler for .jar files is kept beside while
// Morvane is installed, and the uninstaller puts it back.
TEST_F(SetupTest, UninstallingPutsAnotherProgramsPropertyHandlerBack) {
    const RegValue foreign = szValue("{0B8B7F3E-1111-4222-8333-944455556666}");
    writeValue(HKEY_LOCAL_MACHINE, PROPERTY_HANDLER_KEY_PATH, nullptr, foreign);
    ASSERT_EQ(install("MORVANE_SETUP"), 0u);
    RegValue value;
    ASSERT_TRUE(readValue(HKEY_LOCAL_MACHINE, PROPERTY_HANDLER_KEY_PATH, nullptr, &value));
    EXPECT_EQ(value, szValue(CLSID_JARPROPERTIES_TEXT));
    ASSERT_TRUE(readValue(HKEY_LOCAL_MACHINE, PROPERTY_HANDLER_KEY_PATH, SAVED_PROPERTY_HANDLER_VALUE, &value));
    EXPECT_EQ(value, foreign);
    RegValue command;
    ASSERT_TRUE(readValue(HKEY_LOCAL_MACHINE, kUninstallKey, "QuietUninstallString", &command));
    EXPECT_EQ(runProgram(command.bytes.c_str()), 0u);
    ASSERT_TRUE(readValue(HKEY_LOCAL_MACHINE, PROPERTY_HANDLER_KEY_PATH, nullptr, &value));
    EXPECT_EQ(value, foreign) << "the other program's handler is back";
    EXPECT_FALSE(readValue(HKEY_LOCAL_MACHINE, PROPERTY_HANDLER_KEY_PATH, SAVED_PROPERTY_HANDLER_VALUE, &value));
    deleteRegistryTree(HKEY_LOCAL_MACHINE, PROPERTY_HANDLER_KEY_PATH);
    EXPECT_EQ(runProgram("wineboot.exe -r"), 0u);
    expectNothingLeft(kDefault);
}

TEST_F(SetupTest, UpgradesWhileAProgramHasTheDllLoaded) {
    ASSERT_EQ(install("MORVANE_OLD_SETUP"), 0u);
    const std::string oldDll = readBinaryFile(kDefault.dll());
    const std::string aside = kDefault.dll() + ".1.old";
    {
        // This program plays Explorer, holding the 64-bit DLL loaded.
        OleApartment apartment;
        ComPtr<IUnknown> object;
        ASSERT_EQ(CoCreateInstance(kClsidJarIcon, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                   reinterpret_cast<void**>(object.put())),
                  S_OK);
        ASSERT_EQ(install("MORVANE_SETUP"), kRestartCompletes);
        std::set<std::string> files = shippedFiles(kDefault);
        files.insert(aside);  // the loaded one; the 32-bit one was not and is gone
        EXPECT_EQ(installedFiles(kDefault), files);
        EXPECT_EQ(readBinaryFile(aside), oldDll);
        EXPECT_NE(readBinaryFile(kDefault.dll()), oldDll);
        expectInstalled(kDefault);
        RegValue pending;
        ASSERT_TRUE(readValue(HKEY_LOCAL_MACHINE, kPendingKey, "PendingFileRenameOperations", &pending));
        EXPECT_NE(pending.bytes.find("\\??\\" + aside + std::string(2, '\0')), std::string::npos);
    }
    // A restart, once the program has let the DLL go.
    EXPECT_EQ(runProgram("wineboot.exe -r"), 0u);
    EXPECT_EQ(installedFiles(kDefault), shippedFiles(kDefault));
    expectShellHostServes(shellHost(), "after the restart");
    uninstallAndExpectNothingLeft(kDefault);
}

TEST_F(SetupTest, AnOlderVersionRefusesAndTheSameVersionRepairs) {
    ASSERT_EQ(install("MORVANE_SETUP"), 0u);
    const std::string dll = readBinaryFile(kDefault.dll());
    EXPECT_EQ(install("MORVANE_OLD_SETUP"), kNewerInstalled);
    EXPECT_NE(logText().find("exit code 2: " + environment("MORVANE_VERSION") + " is installed, newer than 0.1.0"),
              std::string::npos)
        << logText();
    EXPECT_EQ(readBinaryFile(kDefault.dll()), dll);
    expectInstalled(kDefault);
    DeleteFileA(kDefault.dll32().c_str());  // repaired by the same version
    EXPECT_EQ(install("MORVANE_SETUP"), 0u);
    EXPECT_EQ(installedFiles(kDefault), shippedFiles(kDefault));
    expectInstalled(kDefault);
    uninstallAndExpectNothingLeft(kDefault);
}

// Without the 32-bit view's approval list the 32-bit DLL's registration
// fails, after the 64-bit one's succeeded. Silent, the DLL writes its error
// into the setup log and setup ends at once; with the wizard the DLL shows
// its box, and the watchdog then also takes the wizard through its pages.
TEST_F(SetupTest, AFailedRegistrationLeavesNothingBehindAndShowsABoxOnlyToAPerson) {
    const std::string approvedPath = APPROVED_KEY_PATH;
    RegKey extensions = openInView(HKEY_LOCAL_MACHINE, approvedPath.substr(0, approvedPath.rfind('\\')).c_str(),
                                   KEY_WOW64_32KEY);
    const std::string wizard = "Morvane " + environment("MORVANE_VERSION") + " Setup";
    for (bool silent : {true, false}) {
        SCOPED_TRACE(silent ? "silent" : "with the wizard");
        RegistryKeySnapshot approved(extensions.get(), "Approved");
        deleteRegistryTree(extensions.get(), "Approved");
        DeleteFileA(setupLog().c_str());
        {
            MessageBoxWatchdog dllBox(REG_TEST_BOX_CAPTION, true);
            MessageBoxWatchdog setupWindows(widen(wizard), true, true);
            EXPECT_EQ(install("MORVANE_SETUP", silent ? " /S" : ""), kFailedAndTakenBack);
            EXPECT_EQ(dllBox.count(), silent ? 0 : 1);
            if (silent) {
                EXPECT_EQ(setupWindows.count(), 0);
            }
        }
        approved.restore();
        expectNothingLeft(kDefault);
        const std::string log = logText();
        EXPECT_EQ(log.find(kDefault.dll32() + ": Error registering Shell Extension!") != std::string::npos, silent)
            << log;
        EXPECT_NE(log.find("exit code 1603: " + kDefault.dll32() + " could not be registered"), std::string::npos)
            << log;
    }
}

}  // namespace
