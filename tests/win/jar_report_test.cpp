// morvane-inspect.exe against the DLL under Wine: on a handful of jars the
// tool's tooltip for each locale and its icon entry for each size must be
// what the DLL gives the shell, so the two cannot drift apart.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "win/IconTestSupport.h"
#include "win/WinTestSupport.h"

namespace {

using Json = nlohmann::json;

std::string folderOfThisProgram() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p = path;
    return p.substr(0, p.find_last_of('\\') + 1);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The tool's JSON report of one jar, its chosen icon entries written into dir.
Json inspect(const std::string& jar, const std::string& dir) {
    CreateDirectoryA(dir.c_str(), nullptr);
    std::string out = dir + "\\report.json";
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE file = CreateFileA(out.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdOutput = file;
    start.hStdError = file;
    std::string command = "\"" + folderOfThisProgram() + "morvane-inspect.exe\" --json --extract-icons \"" + dir +
                          "\" \"" + jar + "\"";
    PROCESS_INFORMATION process = {};
    bool started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &process);
    CloseHandle(file);
    EXPECT_TRUE(started) << command;
    if (!started) return Json();
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return Json::parse(readFile(out))["jars"][0];
}

std::string scratchFolder(const char* name) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    return std::string(temp) + name;
}

// The tip the DLL gives under a thread locale, as UTF-8; null for none.
Json dllTip(const std::string& jar) {
    IQueryInfo* info = nullptr;
    EXPECT_EQ(dll().createLoaded(jar, IID_IQueryInfo, reinterpret_cast<void**>(&info)), S_OK);
    if (!info) return "no object";
    PWSTR tip = nullptr;
    HRESULT hr = info->GetInfoTip(0, &tip);
    info->Release();
    if (hr != S_OK) return nullptr;
    std::string text = narrow(tip);
    CoTaskMemFree(tip);
    return text;
}

// The icon an extracted single-image file holds, made as the DLL makes icons.
IconHandle iconOfFile(const std::string& path) {
    std::string bytes = readFile(path);
    if (bytes.size() <= 22) return IconHandle();
    std::vector<BYTE> image(bytes.begin() + 22, bytes.end());  // on a four-byte boundary
    return IconHandle(CreateIconFromResourceEx(image.data(), DWORD(image.size()), TRUE, 0x00030000, 0, 0, 0));
}

TEST(InspectAgainstTheDll, SameTooltipForEveryLocale) {
    OleApartment apartment;
    LCID saved = GetThreadLocale();
    int compared = 0;
    for (const char* name : {"drop/hello.jar", "drop/lister.jar", "infotip/order.jar", "infotip/nodefault.jar",
                             "infotip/badutf8.jar"}) {
        std::string jar = fixturePath(name);
        Json report = inspect(jar, scratchFolder("inspect-tips"));
        ASSERT_TRUE(report.contains("tooltip")) << name << report.dump();
        for (const Json& locale : report["tooltip"]["locales"]) {
            LCID lcid = std::stoul(locale["lcid"].get<std::string>(), nullptr, 16);
            SetThreadLocale(lcid);
            if (GetThreadLocale() != lcid) continue;  // a few identifiers Wine refuses
            EXPECT_EQ(dllTip(jar), locale["tooltip"]) << name << " " << locale["locale"];
            ++compared;
        }
    }
    SetThreadLocale(saved);
    EXPECT_GE(compared, 50);
}

TEST(InspectAgainstTheDll, SameIconEntryForEverySize) {
    OleApartment apartment;
    int compared = 0;
    for (const char* name : {"drop/hello.jar", "icons/sizes.jar", "icons/depths.jar", "icons/width0.jar",
                             "icons/png.jar", "icons/one48.jar"}) {
        std::string jar = fixturePath(name);
        Json report = inspect(jar, scratchFolder("inspect-icons"));
        ASSERT_TRUE(report["icon"].contains("requests")) << name << report.dump();
        for (const Json& request : report["icon"]["requests"]) {
            if (request["depth"] != runningDepth()) continue;
            UINT size = request["size"].get<UINT>();
            const Json& entry = report["icon"]["entries"][request["entry"].get<size_t>()];
            ExtractResult shell = extractThroughShell(jar, MAKELONG(size, size));
            IconHandle chosen = iconOfFile(entry["file"].get<std::string>());
            IconPixels got = readIconPixels(shell.large.get());
            EXPECT_TRUE(got.valid) << name << " " << size;
            EXPECT_TRUE(got == readIconPixels(chosen.get()))
                << name << " size " << size << ": the DLL gives " << describeIcon(shell.large.get())
                << ", the tool names entry " << entry["entry"] << " " << describeIcon(chosen.get());
            ++compared;
        }
    }
    EXPECT_EQ(compared, 6 * 8);
}

}  // namespace
