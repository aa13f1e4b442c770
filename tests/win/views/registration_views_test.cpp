// Both DLLs on one 64-bit Windows (the test prefix is 64-bit): the 32-bit DLL
// registers its class key and approval entry in the 32-bit registry view, the
// 64-bit DLL in the 64-bit one, and both write the handler keys and default
// icon of the jar file type, which the two views share. Taking one DLL away
// leaves the other one working; taking both away puts the former default icon
// back. The DLL of the other bitness is named in MORVANE_OTHER_DLL, and each
// DLL has the shell host of its bitness beside it.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "base/WinHolders.h"
#include "win/RegistrationTestSupport.h"

namespace {

const bool kProgramIs64Bit = sizeof(void*) == 8;

// One DLL of the pair and the registry view it registers in.
struct Side {
    const char* name;
    std::string dll;
    REGSAM view;
    std::string shellHost() const { return dll.substr(0, dll.find_last_of('\\') + 1) + "shellhost.exe"; }
};

std::string otherDll() {
    const char* path = std::getenv("MORVANE_OTHER_DLL");
    return path ? path : "";
}
Side side32() { return {"32-bit DLL", kProgramIs64Bit ? otherDll() : dll().path(), KEY_WOW64_32KEY}; }
Side side64() { return {"64-bit DLL", kProgramIs64Bit ? dll().path() : otherDll(), KEY_WOW64_64KEY}; }

// regsvr32 as an administrator starts it: the 64-bit one from System32, the
// 32-bit one from SysWOW64. Each hands a DLL of the other bitness on to the
// other one.
const char kSystem32[] = "C:\\windows\\system32\\regsvr32.exe";
const char kSysWow64[] = "C:\\windows\\syswow64\\regsvr32.exe";

// The icon a Java installer leaves, terminator and all.
const char kJavaIcon[] = "%ProgramFiles%\\Java\\jre\\bin\\javaw.exe,0";
const RegValue kFormerIcon = [] {
    RegValue v;
    v.type = REG_EXPAND_SZ;
    v.bytes.assign(kJavaIcon, sizeof(kJavaIcon));
    return v;
}();

RegKey openInView(HKEY root, const char* path, REGSAM view) {
    RegKey key;
    RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS | view, key.put());
    return key;
}

// Every key (as "path\") and value (as "path\[name]") below the key, with
// type and bytes.
using RegistryTree = std::map<std::string, RegValue>;
void readTree(HKEY root, const std::string& path, const std::string& label, RegistryTree* tree) {
    RegKey key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
    (*tree)[label + "\\"] = RegValue();
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof(name);
        if (RegEnumValueA(key.get(), i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        readValue(key.get(), "", name, &(*tree)[label + "\\[" + name + "]"]);
    }
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof(name);
        if (RegEnumKeyExA(key.get(), i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        readTree(key.get(), name, label + "\\" + name, tree);
    }
}

// What is ours in one view: the class key and the approval entry.
RegistryTree viewTree(REGSAM view) {
    RegistryTree tree;
    readTree(openInView(HKEY_CLASSES_ROOT, "CLSID", view).get(), CLSID_JARICON_TEXT, "class", &tree);
    RegValue approval;
    if (readValue(openInView(HKEY_LOCAL_MACHINE, APPROVED_KEY_PATH, view).get(), "", CLSID_JARICON_TEXT, &approval))
        tree["approved"] = approval;
    return tree;
}

RegistryTree registeredView(const Side& side) {
    return {{"class\\", {}},
            {"class\\[]", szValue(REG_TEST_DESCRIPTION)},
            {"class\\config\\", {}},
            {"class\\config\\[DefaultIcon]", szValue("")},
            {"class\\InProcServer32\\", {}},
            {"class\\InProcServer32\\[]", szValue(side.dll)},
            {"class\\InProcServer32\\[ThreadingModel]", szValue("Apartment")},
            {"approved", szValue(REG_TEST_DESCRIPTION)}};
}

// The jar file type that both views share.
RegistryTree fileTypeTree() {
    RegistryTree tree;
    readTree(HKEY_CLASSES_ROOT, "jarfile", "jarfile", &tree);
    return tree;
}

RegistryTree fileType(bool registered) {
    RegistryTree tree = {{"jarfile\\", {}}, {"jarfile\\DefaultIcon\\", {}}};
    if (!registered) {
        tree["jarfile\\DefaultIcon\\[]"] = kFormerIcon;
        // The intermediate keys stay after unregistration.
        tree["jarfile\\shellex\\"] = tree["jarfile\\shellex\\PropertySheetHandlers\\"] = RegValue();
        return tree;
    }
    tree["jarfile\\DefaultIcon\\[]"] = szValue("%1");
    tree["jarfile\\DefaultIcon\\[" SAVED_ICON_VALUE "]"] = kFormerIcon;
    for (const char* handler : kHandlerKeys) {
        std::string key = std::string("jarfile\\") + handler;
        for (size_t at = key.find('\\'); at != std::string::npos; at = key.find('\\', at + 1))
            tree[key.substr(0, at + 1)] = RegValue();
        tree[key + "\\"] = RegValue();
        tree[key + "\\[]"] = szValue(CLSID_JARICON_TEXT);
    }
    return tree;
}

class RegistryViewsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(dll().module(), nullptr) << "Morvane.dll not loadable";
        ASSERT_FALSE(otherDll().empty()) << "MORVANE_OTHER_DLL names no DLL";
        clean();
        writeValue(HKEY_CLASSES_ROOT, "jarfile\\DefaultIcon", nullptr, kFormerIcon);
        setRegistryString(HKEY_CLASSES_ROOT, ".jar", nullptr, "jarfile");
    }
    void TearDown() override {
        clean();
        deleteRegistryTree(HKEY_CLASSES_ROOT, ".jar");
    }

    static void clean() {
        for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
            deleteRegistryTree(openInView(HKEY_CLASSES_ROOT, "CLSID", view).get(), CLSID_JARICON_TEXT);
            deleteRegistryValue(openInView(HKEY_LOCAL_MACHINE, APPROVED_KEY_PATH, view).get(), "", CLSID_JARICON_TEXT);
        }
        deleteRegistryTree(HKEY_CLASSES_ROOT, "jarfile");
    }

    static void regsvr32(const char* tool, const char* options, const Side& side) {
        EXPECT_EQ(runProgram(std::string(tool) + " " + options + " " + quoted(side.dll)), 0u)
            << tool << " " << options << " " << side.name;
    }

    // Each view holds the class of the DLL registered there, or nothing of ours.
    static void expectViews(const Side* registered32, const Side* registered64, const char* when) {
        EXPECT_EQ(viewTree(KEY_WOW64_32KEY), registered32 ? registeredView(*registered32) : RegistryTree()) << when;
        EXPECT_EQ(viewTree(KEY_WOW64_64KEY), registered64 ? registeredView(*registered64) : RegistryTree()) << when;
        EXPECT_EQ(fileTypeTree(), fileType(registered32 || registered64)) << when;
    }

    // The shell host of the side's bitness creates the object through the
    // registered class, as Explorer or a 32-bit program's file dialog does.
    static void expectShellHostServes(const Side& side) {
        const struct {
            const char* command;
            std::vector<const char*> shows;
        } checks[] = {
            {"icon", {"large  32x32", "stage 1, the jar's icon.ico entry 1 (32x32", "entry 0 (16x16"}},
            {"tip", {"Hello: greets every file you drop onto it"}},
            // The shell's own property sheet finds the page through the
            // shared handler keys.
            {"version --shell", {"File version:  1.0.0", "Copyright:     (C) 2026 The Morvane developers"}},
        };
        for (const auto& check : checks) {
            std::string output;
            EXPECT_EQ(runProgram(quoted(side.shellHost()) + " --registered " + check.command + " " +
                                     quoted(fixturePath("drop/hello.jar")),
                                 &output),
                      0u)
                << side.name << " " << check.command << ": " << output;
            for (const char* text : check.shows)
                EXPECT_NE(output.find(text), std::string::npos) << side.name << " " << check.command << ": " << output;
        }
    }
};

TEST_F(RegistryViewsTest, EitherDllGoesFirstAndLeavesTheOtherOneWorking) {
    const Side s32 = side32(), s64 = side64();
    const struct {
        const char* what;
        const Side &first, &second;
        const char *firstTool, *secondTool;
    } orders[] = {
        {"32-bit, then 64-bit, each by its own regsvr32", s32, s64, kSysWow64, kSystem32},
        {"64-bit, then 32-bit, each by the other's regsvr32", s64, s32, kSysWow64, kSystem32},
    };
    for (const auto& order : orders) {
        SCOPED_TRACE(order.what);
        clean();
        writeValue(HKEY_CLASSES_ROOT, "jarfile\\DefaultIcon", nullptr, kFormerIcon);
        regsvr32(order.firstTool, "/s", order.first);
        regsvr32(order.secondTool, "/s", order.second);
        expectViews(&s32, &s64, "both registered");

        regsvr32(order.firstTool, "/u /s", order.first);
        const bool left64 = &order.second == &s64;
        expectViews(left64 ? nullptr : &s32, left64 ? &s64 : nullptr, "the first one unregistered");
        expectShellHostServes(order.second);

        regsvr32(order.secondTool, "/u /s", order.second);
        expectViews(nullptr, nullptr, "both unregistered");
    }
}

TEST_F(RegistryViewsTest, RegisteringOneTwiceKeepsTheSavedIconAndTheOtherView) {
    const Side s32 = side32(), s64 = side64();
    regsvr32(kSysWow64, "/s", s32);
    regsvr32(kSystem32, "/s", s64);
    regsvr32(kSystem32, "/s", s64);
    regsvr32(kSysWow64, "/s", s32);
    expectViews(&s32, &s64, "each registered twice");
    regsvr32(kSystem32, "/u /s", s64);
    expectViews(&s32, nullptr, "the 64-bit DLL unregistered once");
    regsvr32(kSysWow64, "/u /s", s32);
    expectViews(nullptr, nullptr, "both unregistered");
}

TEST_F(RegistryViewsTest, AFailedRegistrationUndoesOnlyItsOwnView) {
    const Side self = kProgramIs64Bit ? side64() : side32(), other = kProgramIs64Bit ? side32() : side64();
    regsvr32(kProgramIs64Bit ? kSysWow64 : kSystem32, "/s", other);
    // Without its view's approval list, this DLL's registration fails at its
    // second step and takes its class key back.
    RegistryKeySnapshot approved(HKEY_LOCAL_MACHINE, APPROVED_KEY_PATH);
    deleteRegistryTree(HKEY_LOCAL_MACHINE, APPROVED_KEY_PATH);
    {
        MessageBoxWatchdog watchdog(REG_TEST_BOX_CAPTION);
        EXPECT_EQ(dll().registerServer(), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
        EXPECT_EQ(watchdog.count(), 1);
    }
    approved.restore();
    expectViews(kProgramIs64Bit ? &other : nullptr, kProgramIs64Bit ? nullptr : &other, "after the failure");
}

}  // namespace
