// Both DLLs on one 64-bit Windows (the test prefix is 64-bit): the 32-bit DLL
// registers its class key and approval entry in the 32-bit registry view, the
// 64-bit DLL in the 64-bit one, and both write the handler keys and default
// icon of the jar file type, which the two views share. Taking one DLL away
// leaves the other one working; taking both away puts the former default icon
// back. The DLL of the other bitness is named in MORVANE_OTHER_DLL, and each
// DLL has the shell host of its bitness beside it.
#include <gtest/gtest.h>

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
        EXPECT_EQ(viewTree(KEY_WOW64_32KEY), registered32 ? registeredView(registered32->dll) : RegistryTree()) << when;
        EXPECT_EQ(viewTree(KEY_WOW64_64KEY), registered64 ? registeredView(registered64->dll) : RegistryTree()) << when;
        EXPECT_EQ(fileTypeTree(), fileType(registered32 || registered64)) << when;
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
        expectShellHostServes(order.second.shellHost(), order.second.name);

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
