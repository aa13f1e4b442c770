// Drops that start the real JVM: .jar files are opened by the Java launcher
// through tests/support/java-launcher.sh (Wine runs it as a Linux program), and
// the example programs report the names they received, from their command line
// (hello) or from the name list file (lister), into a result file.
#include <gtest/gtest.h>

#include "win/DropTestSupport.h"

namespace {

std::string jar(const char* name) { return fixturePath(std::string("drop/") + name); }

// The Unix path of a Windows path, as Wine maps it.
std::string unixPath(const std::string& windowsPath) {
    typedef char*(CDECL * ToUnixFn)(LPCWSTR);
    auto toUnix = reinterpret_cast<ToUnixFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix) return std::string();
    char* mapped = toUnix(widen(windowsPath).c_str());
    if (!mapped) return std::string();
    std::string path(mapped);
    HeapFree(GetProcessHeap(), 0, mapped);
    return path;
}

std::string launcherCommand() {
    const char* source = std::getenv("MORVANE_SOURCE_DIR");
    std::string path = std::string("Z:") + (source ? source : "") + "/tests/support/java-launcher.sh";
    for (char& c : path)
        if (c == '/') c = '\\';
    return "\"" + path + "\" \"%1\" %*";
}

// The result file the example program writes, named in its environment.
class ResultFile {
public:
    ResultFile() {
        static int serial = 0;
        path_ = tempFolder() + "morvane-jvm-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(++serial) + ".txt";
        DeleteFileA(path_.c_str());
        SetEnvironmentVariableA("MORVANE_EXAMPLE_RESULT", unixPath(path_).c_str());
    }
    ~ResultFile() {
        SetEnvironmentVariableA("MORVANE_EXAMPLE_RESULT", nullptr);
        DeleteFileA(path_.c_str());
    }
    // The lines the program wrote (UTF-8), waiting for it (bounded: a JVM
    // starts in about a second, much more on a loaded machine).
    std::optional<std::vector<std::string>> wait() const {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
        while (!fileExists(path_)) {
            if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
            Sleep(100);
        }
        std::string text = readBinaryFile(path_);
        std::vector<std::string> lines;
        size_t start = 0;
        for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
            lines.push_back(text.substr(start, end - start));
        return lines;
    }

private:
    std::string path_;
};

struct JvmCase {
    const char* label;
    const char* jarName;
    bool wide;
    std::vector<std::string> names;  // UTF-8
};

// Names in UTF-8 as the JVM reports them; for ANSI drops they are turned into
// code page 1252 for the drop.
const std::vector<std::string> kAnsiNames = {"C:\\", "C:\\dir with blanks\\a.txt", "C:\\Gr\xC3\xBC\xC3\x9F" "e.txt",
                                             "\\\\server\\share\\"};
const std::vector<std::string> kWideNames = {"C:\\\xCE\xA9mega \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80.txt", "C:\\",
                                             "D:\\b c\\", "C:\\last.txt"};

std::string toAnsi(const std::string& utf8) {
    std::wstring w = widen(utf8);
    int n = WideCharToMultiByte(CP_ACP, 0, w.c_str(), int(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, w.c_str(), int(w.size()), &out[0], n, nullptr, nullptr);
    return out;
}

void PrintTo(const JvmCase& c, std::ostream* out) { *out << c.label; }

class DropJvmTest : public ::testing::TestWithParam<JvmCase> {
protected:
    void SetUp() override { ASSERT_NE(dll().module(), nullptr) << "Morvane.dll not loadable"; }
    OleApartment apartment;
};

TEST_P(DropJvmTest, TheJavaProgramReceivesExactlyTheDroppedNames) {
    const JvmCase& c = GetParam();
    ASSERT_FALSE(unixPath(tempFolder()).empty()) << "not running under Wine";
    JarAssociation association(launcherCommand());
    ResultFile result;

    IDataObject* data;
    if (c.wide) {
        std::vector<std::wstring> names;
        for (const auto& n : c.names) names.push_back(widen(n));
        data = DropDataObject::createWide(names);
    } else {
        std::vector<std::string> names;
        for (const auto& n : c.names) names.push_back(toAnsi(n));
        data = DropDataObject::createAnsi(names);
    }
    IDropTarget* target = nullptr;
    ASSERT_EQ(dll().createLoaded(jar(c.jarName), IID_IDropTarget, reinterpret_cast<void**>(&target)), S_OK);
    DWORD effect = DROPEFFECT_COPY;
    POINTL pt = {0, 0};
    EXPECT_EQ(target->Drop(data, 0, pt, &effect), S_OK);
    target->Release();
    data->Release();

    auto lines = result.wait();
    ASSERT_TRUE(lines) << "the Java program wrote no result";
    bool listFile = std::string(c.jarName) == "lister.jar";
    std::vector<std::string> expected = {
        listFile ? "Lister read " + std::to_string(c.names.size()) + " file(s) from the name list file:"
                 : "Hello received " + std::to_string(c.names.size()) + " file(s) on the command line:"};
    for (const auto& n : c.names) expected.push_back("  " + n);
    EXPECT_EQ(*lines, expected);
}

INSTANTIATE_TEST_SUITE_P(
    BothModesBothWidths, DropJvmTest,
    ::testing::Values(JvmCase{"CommandLineAnsi", "hello.jar", false, kAnsiNames},
                      JvmCase{"CommandLineWide", "hello.jar", true, kWideNames},
                      JvmCase{"ListFileAnsi", "lister.jar", false, kAnsiNames},
                      JvmCase{"ListFileWide", "lister.jar", true, kWideNames}),
    [](const ::testing::TestParamInfo<JvmCase>& info) { return std::string(info.param.label); });

}  // namespace
