// Configuration values and the debug log as an administrator meets them:
// the flag rule, values read afresh on every use, and the exact line layout.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "diag/Config.h"
#include "diag/Log.h"
#include "win/WinTestSupport.h"

namespace {

class DiagTest : public ::testing::Test {
protected:
    void SetUp() override {
        deleteRegistryTree(HKEY_CLASSES_ROOT, CONFIG_KEY_PATH);
        deleteLogFile();
    }
    void TearDown() override {
        deleteRegistryTree(HKEY_CLASSES_ROOT, CONFIG_KEY_PATH);
        deleteLogFile();
    }
    // Obtains and releases the class factory through the DLL's export: one log
    // line while the log is on.
    void touchFactory() {
        IClassFactory* f = nullptr;
        ASSERT_EQ(dll().getClassObject(kClsidJarIcon, IID_IClassFactory, reinterpret_cast<void**>(&f)), S_OK);
        f->Release();
    }
    static bool logExists() { return GetFileAttributesA(LOG_FILE_PATH) != INVALID_FILE_ATTRIBUTES; }
    OleApartment apartment;
};

TEST_F(DiagTest, FlagIsOnOnlyForTheExactText1) {
    struct Case {
        const char* what;
        DWORD type;
        std::string data;
        bool on;
    } cases[] = {
        {"REG_SZ 1", REG_SZ, std::string("1\0", 2), true},
        {"REG_SZ 1 stored without terminator", REG_SZ, "1", true},
        {"REG_SZ 01", REG_SZ, std::string("01\0", 3), false},
        {"REG_SZ true", REG_SZ, std::string("true\0", 5), false},
        {"REG_SZ 1 and a blank", REG_SZ, std::string("1 \0", 3), false},
        {"REG_SZ 0", REG_SZ, std::string("0\0", 2), false},
        {"REG_SZ empty", REG_SZ, std::string("\0", 1), false},
        {"REG_EXPAND_SZ 1", REG_EXPAND_SZ, std::string("1\0", 2), false},
        {"REG_DWORD 1", REG_DWORD, std::string("\1\0\0\0", 4), false},
    };
    for (const Case& c : cases) {
        setRegistryValue(HKEY_CLASSES_ROOT, CONFIG_KEY_PATH, CONFIG_DEBUG_LOG, c.type, c.data.data(),
                         DWORD(c.data.size()));
        EXPECT_EQ(isConfigFlagSet(CONFIG_DEBUG_LOG), c.on) << c.what;
        deleteLogFile();
        touchFactory();
        EXPECT_EQ(logExists(), c.on) << c.what << ": the log file is not even created while the log is off";
    }
    deleteRegistryTree(HKEY_CLASSES_ROOT, CONFIG_KEY_PATH);
    EXPECT_FALSE(isConfigFlagSet(CONFIG_DEBUG_LOG)) << "no config key at all";
    EXPECT_EQ(readConfigValue(CONFIG_DEFAULT_ICON), nullptr);
}

TEST_F(DiagTest, RegistryStringsAreAlwaysTerminated) {
    struct Case {
        const char* what;
        std::string data;
        const char* expected;
    } cases[] = {
        {"with terminator", std::string("C:\\x.dll,3\0", 11), "C:\\x.dll,3"},
        {"without terminator", "C:\\x.dll,3", "C:\\x.dll,3"},
        {"zero bytes", "", ""},
        {"one byte, the terminator", std::string("\0", 1), ""},
    };
    for (const Case& c : cases) {
        setRegistryValue(HKEY_CLASSES_ROOT, CONFIG_KEY_PATH, CONFIG_DEFAULT_ICON, REG_SZ, c.data.data(),
                         DWORD(c.data.size()));
        char* text = readConfigValue(CONFIG_DEFAULT_ICON);
        ASSERT_NE(text, nullptr) << c.what;
        EXPECT_STREQ(text, c.expected) << c.what;
        coreFree(text);
    }
    setRegistryValue(HKEY_CLASSES_ROOT, CONFIG_KEY_PATH, CONFIG_DEFAULT_ICON, REG_EXPAND_SZ, "x\0", 2);
    EXPECT_EQ(readConfigValue(CONFIG_DEFAULT_ICON), nullptr) << "another type reads as absent";
    EXPECT_EQ(readRegistryString(HKEY_CLASSES_ROOT, "CLSID\\{no-such-key}", "x"), nullptr);
}

TEST_F(DiagTest, LogLineLayout) {
    setConfigString(CONFIG_DEBUG_LOG, "1");
    touchFactory();
    std::vector<std::string> lines = readLogLines();
    ASSERT_EQ(lines.size(), 1u);
    char thread[16];
    snprintf(thread, sizeof thread, "%lX", static_cast<unsigned long>(GetCurrentThreadId()));
    const std::regex layout(std::string("^") + thread +
                            "\twin_diag\\.exe\t(Sun|Mon|Tue|Wed|Thu|Fri|Sat) "
                            "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [0-3][0-9] "
                            "[0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}\t"
                            "JarIconObj:: JarIconClassFactory::QueryInterface: "
                            "00000001-0000-0000-C000-000000000046$");
    EXPECT_TRUE(std::regex_match(lines[0], layout)) << lines[0];
    EXPECT_EQ(readLogFile().substr(readLogFile().size() - 2), "\r\n");
}

TEST_F(DiagTest, LogLinesOfTheComTraffic) {
    setConfigString(CONFIG_DEBUG_LOG, "1");
    IUnknown* obj = nullptr;
    ASSERT_EQ(dll().createLoaded("C:\\100%sure\\%s%n.jar", IID_IExtractIconA, reinterpret_cast<void**>(&obj)), S_OK);
    void* none = nullptr;
    EXPECT_EQ(obj->QueryInterface(IID_IExtractIconW, &none), E_NOINTERFACE);
    obj->Release();

    std::vector<std::string> messages;
    for (const std::string& line : readLogLines()) messages.push_back(line.substr(line.rfind('\t') + 1));
    const std::vector<std::string> expected = {
        "JarIconObj:: JarIconClassFactory::QueryInterface: 00000001-0000-0000-C000-000000000046",
        "JarIconObj:: CreateInstance: 0000010B-0000-0000-C000-000000000046",
        "JarIconObj:: QueryInterface:IID_IPersistFile: 0000010B-0000-0000-C000-000000000046",
        "IPersistFile::Load. name:\"C:\\100%sure\\%s%n.jar\"",
        "JarIconObj:: QueryInterface:IID_IExtractIcon: 000214EB-0000-0000-C000-000000000046",
        "JarIconObj:: QueryInterface (Failed -> Not implemented): 000214FA-0000-0000-C000-000000000046",
    };
    EXPECT_EQ(messages, expected);
}

TEST_F(DiagTest, SwitchTakesEffectAtTheNextLine) {
    setConfigString(CONFIG_DEBUG_LOG, "1");
    touchFactory();
    setConfigString(CONFIG_DEBUG_LOG, "0");
    touchFactory();
    EXPECT_EQ(readLogLines().size(), 1u);
    setConfigString(CONFIG_DEBUG_LOG, "1");
    touchFactory();
    EXPECT_EQ(readLogLines().size(), 2u) << "lines are appended, never overwritten";
}

TEST_F(DiagTest, LogTextAndLongMessagesAreWrittenWhole) {
    setConfigString(CONFIG_DEBUG_LOG, "1");
    std::string longText(5000, 'x');
    logPrintf("%s|%d", longText.c_str(), 42);
    logText("100% literal %s");
    std::vector<std::string> lines = readLogLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(lines[0].rfind('\t') + 1), longText + "|42");
    EXPECT_EQ(lines[1].substr(lines[1].rfind('\t') + 1), "100% literal %s");
}

TEST_F(DiagTest, InfoBoxesShowTheFormattedTextInFull) {
    MessageBoxWatchdog watchdog(L"Info");
    std::string path(3000, 'p');
    showInfoBox("%s%i\n%s", "Parameter length:", 17, path.c_str());
    std::wstring widePath(3000, L'\u00e9');
    showInfoBoxW(L"%s%i\n%s", L"Parameter length:", 3000, widePath.c_str());
    for (int i = 0; i < 100 && watchdog.count() < 2; ++i) Sleep(20);
    ASSERT_EQ(watchdog.count(), 2);
    EXPECT_EQ(watchdog.texts()[0], L"Parameter length:17\n" + std::wstring(path.begin(), path.end()));
    EXPECT_EQ(watchdog.texts()[1], L"Parameter length:3000\n" + widePath);
}

}  // namespace
