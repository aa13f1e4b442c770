// morvane-inspect.exe against the DLL under Wine: on a handful of jars the
// tool's tooltip for each locale, its icon entry for each size, its Version
// page and its drop parameters must be what the DLL gives the shell, so the
// two cannot drift apart.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "win/DropTestSupport.h"
#include "win/IconTestSupport.h"
#include "win/VersionTestSupport.h"
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

// The tool's JSON report of one jar (any path, as UTF-8), its chosen icon
// entries written into dir.
Json inspect(const std::string& jar, const std::string& dir) {
    CreateDirectoryA(dir.c_str(), nullptr);
    std::string out = dir + "\\report.json";
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE file = CreateFileA(out.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOW start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdOutput = file;
    start.hStdError = file;
    std::wstring command = widen("\"" + folderOfThisProgram() + "morvane-inspect.exe\" --json --extract-icons \"" +
                                 dir + "\" \"" + jar + "\"");
    PROCESS_INFORMATION process = {};
    bool started = CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &process);
    CloseHandle(file);
    EXPECT_TRUE(started) << narrow(command);
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
                             "infotip/badutf8.jar", "metadata/osgi-bundle.jar", "metadata/tool-all-2.0.jar"}) {
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

// The jars of the page and drop rows: fixtures, and one in a folder whose
// name the ANSI code page cannot express (the tool reads it as the DLL does).
std::vector<std::string> pageAndDropJars() {
    std::vector<std::string> jars = {fixturePath("drop/hello.jar"), fixturePath("drop/lister.jar"),
                                     fixturePath("version/sample.jar"), fixturePath("version/none.jar"),
                                     fixturePath("metadata/osgi-bundle.jar"), fixturePath("metadata/module-only.jar")};
    std::wstring folder = widen(scratchFolder("inspect-\xd0\x94\xd0\xbc\xd0\xb8\xd1\x82\xd1\x80\xd0\xb8\xd0\xb9"));
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring copy = folder + L"\\sample.jar";
    EXPECT_TRUE(CopyFileW(widen(fixturePath("version/sample.jar")).c_str(), copy.c_str(), FALSE));
    jars.push_back(narrow(copy));
    return jars;
}

TEST(InspectAgainstTheDll, SameVersionPage) {
    OleApartment apartment;
    for (const std::string& jar : pageAndDropJars()) {
        Json report = inspect(jar, scratchFolder("inspect-pages"));
        auto page = versionPageOf(widen(jar));
        ASSERT_EQ(report["versionPage"]["shown"].get<bool>(), page.has_value()) << jar;
        if (!page) continue;
        const Json& fields = report["versionPage"]["fields"];
        auto field = [&](const char* label) {
            return fields[label].is_null() ? std::string() : fields[label]["value"].get<std::string>();
        };
        EXPECT_EQ(narrow(page->fileVersion), field("File version:")) << jar;
        EXPECT_EQ(narrow(page->description), field("Description:")) << jar;
        EXPECT_EQ(narrow(page->copyright), field("Copyright:")) << jar;
        std::vector<std::string> names;
        for (const Json& row : report["versionPage"]["rows"]) names.push_back(row["name"]);
        std::vector<std::string> items;
        for (const std::wstring& item : page->items) items.push_back(narrow(item));
        EXPECT_EQ(items, names) << jar;
    }
}

TEST(InspectAgainstTheDll, SameDropParameters) {
    OleApartment apartment;
    JarAssociation association(recorderCommand());
    for (const std::string& jar : pageAndDropJars()) {
        Json report = inspect(jar, scratchFolder("inspect-drops"));
        const Json& drop = report["drop"];
        if (drop["namesInListFile"].get<bool>()) continue;  // the list file's name is the system's choice
        std::vector<std::wstring> names;
        for (const Json& name : drop["names"]) names.push_back(widen(name.get<std::string>()));
        IDropTarget* target = nullptr;
        ASSERT_EQ(dll().createLoaded(widen(jar), IID_IDropTarget, reinterpret_cast<void**>(&target)), S_OK);
        CommandRecording recording;
        DWORD effect = DROPEFFECT_COPY;
        POINTL point = {1, 1};
        DropDataObject* data = DropDataObject::createWide(names);
        target->Drop(data, 0, point, &effect);
        data->Release();
        target->Release();
        auto line = recording.wait();
        ASSERT_TRUE(line) << jar;
        // The program's own quoted path comes first, then the parameters.
        std::string program = "\"" + recorderPath() + "\" ";
        EXPECT_EQ(narrow(*line), program + drop["parameters"].get<std::string>()) << jar;
    }
}

}  // namespace
