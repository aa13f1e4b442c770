// morvane-inspect run as a jar's author runs it: one finding of --check per
// jar of tests/fixtures/make_checks.py, the shape of its JSON, and jars that
// cannot be read at all.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace {

using Json = nlohmann::json;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A folder of the test's own for files it makes.
const std::string& scratch() {
    static const std::string dir = [] {
        char pattern[] = "/tmp/inspect-test-XXXXXX";
        return std::string(mkdtemp(pattern));
    }();
    return dir;
}

// The program sits beside the test program.
Outcome inspect(const std::vector<std::string>& args) {
    char self[4096] = {};
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string program = std::string(self, n > 0 ? size_t(n) : 0);
    std::string command = "'" + program.substr(0, program.rfind('/')) + "/morvane-inspect'";
    for (const std::string& a : args) command += " '" + a + "'";
    std::string out = scratch() + "/out", err = scratch() + "/err";
    Outcome r;
    int status = std::system((command + " >" + out + " 2>" + err + " </dev/null").c_str());
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = readAll(out);
    r.err = readAll(err);
    return r;
}

std::string jar(const std::string& name) { return fixturePath("checks/" + name + ".jar"); }

TEST(InspectCheck, EachProblemIsReportedOnceWhereItIs) {
    const struct {
        const char* jar;
        std::string where;
        const char* text;
    } cases[] = {
        {"wrongcase", "SHELL-META-INF/description", "name it shell-meta-inf/description"},
        {"misplaced", "shell-meta-inf/icon.ico", "reads shell-meta-inf/icons/icon.ico"},
        {"dupmember", "shell-meta-inf/description", "stands 2 times"},
        {"dupclass", "the jar's directory", "org/example/Main.class"},
        {"encrypted", "shell-meta-inf/description", "is encrypted"},
        {"bzip2", "shell-meta-inf/description", "method 12 (bzip2)"},
        {"toolarge", "shell-meta-inf/description", "over the limit of 16 MiB"},
        {"damaged-member", "shell-meta-inf/description", "is damaged"},
        {"emptymember", "shell-meta-inf/version", "is empty"},
        {"nodefault", "shell-meta-inf/description", "no default= line"},
        {"badkey", "shell-meta-inf/description line 2", "write de_DE="},
        {"jarcase", "shell-meta-inf/description line 2", "\"DE_de\" matches no locale"},
        {"english", "shell-meta-inf/description line 3", "\"english\" matches no locale"},
        {"nokey", "shell-meta-inf/description line 2", "has no \"=\""},
        {"dupkey", "shell-meta-inf/description line 3", "repeats the key de= of line 2"},
        {"notutf8", "shell-meta-inf/description line 2", "not UTF-8"},
        {"bomdescription", "shell-meta-inf/description line 1", "byte-order mark"},
        {"notico", "shell-meta-inf/icons/icon.ico", "not an icon file"},
        {"no16", "shell-meta-inf/icons/icon.ico", "no 16x16 entry"},
        {"no32", "shell-meta-inf/icons/icon.ico", "no 32x32 entry"},
        {"pngonly", "shell-meta-inf/icons/icon.ico entry 2", "PNG only (48x48)"},
        {"imageoutside", "shell-meta-inf/icons/icon.ico entry 1", "image outside the icon file"},
        {"widthbyte", "shell-meta-inf/icons/icon.ico entry 1", "its image is 24x24"},
        {"versionbreaks", "shell-meta-inf/version", "no line the page can show"},
        {"versionutf8", "shell-meta-inf/version line 2", "is not UTF-8"},
        {"versionbom", "shell-meta-inf/version line 1", "byte-order mark"},
        {"versioncase", "shell-meta-inf/version line 1", "names \"version\""},
        {"versiontwice", "shell-meta-inf/version line 1", "overridden by line 2"},
        {"optionfalse", "shell-meta-inf/startoptions line 1", "filenames=false"},
        {"optionblank", "shell-meta-inf/startoptions line 1", "is not the option line"},
        {"placeholder", "META-INF/MANIFEST.MF line 3", "placeholder \"${project.version}\""},
        {"untranslated", "META-INF/MANIFEST.MF line 3", "Bundle-Vendor: %vendor has no translation"},
        {"manifestbom", "META-INF/MANIFEST.MF", "refused by the JVM"},
        {"longline", "META-INF/MANIFEST.MF line 2", "is 82 bytes long"},
        {"noversion", "the jar", "gives no version"},
        {"nonameorversion", "the jar", "names itself nowhere"},
    };
    for (const auto& c : cases) {
        Outcome r = inspect({"--json", "--check", jar(c.jar)});
        EXPECT_EQ(r.status, 1) << c.jar << r.err;
        Json problems = Json::parse(r.out)["jars"][0]["problems"];
        ASSERT_EQ(problems.size(), 1u) << c.jar << " " << problems.dump(1);
        EXPECT_EQ(problems[0]["where"], c.where) << c.jar;
        std::string said = problems[0]["problem"].get<std::string>() + " (" + problems[0]["why"].get<std::string>();
        EXPECT_NE(said.find(c.text), std::string::npos) << c.jar << ": " << said;
        EXPECT_NE(said.back(), '(') << c.jar << ": every problem says why it matters";
    }
}

TEST(InspectCheck, TheExampleJarsHaveNothingToReport) {
    Outcome r = inspect({"--check", fixturePath("drop/hello.jar"), fixturePath("drop/lister.jar")});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    size_t first = r.out.find("Check: nothing to report");
    ASSERT_NE(first, std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Check: nothing to report", first + 1), std::string::npos) << r.out;
    // Without --check the same broken jar reports no problems and exits 0.
    EXPECT_EQ(inspect({jar("nodefault")}).status, 0);
}

TEST(InspectJson, ShapeOfTheReport) {
    Outcome r = inspect({"--json", "--check", "--lcid", "0x0C07", "--drop", "C:\\a.txt", fixturePath("drop/hello.jar")});
    ASSERT_EQ(r.status, 0) << r.err;
    Json all = Json::parse(r.out);
    EXPECT_EQ(all["exitStatus"], 0);
    ASSERT_EQ(all["jars"].size(), 1u);
    const Json& j = all["jars"][0];
    for (const char* key : {"path", "archive", "tooltip", "icon", "versionPage", "drop", "problems"})
        EXPECT_TRUE(j.contains(key)) << key;
    EXPECT_TRUE(j["archive"]["entries"].is_number());
    EXPECT_EQ(j["tooltip"]["member"]["state"], "read");
    EXPECT_EQ(j["tooltip"]["lines"][1], Json({{"line", 2},
                                              {"key", "en"},
                                              {"text", "Hello: greets every file you drop onto it.\r\n"
                                                       "Drop files onto the jar to see their names."}}));
    EXPECT_EQ(j["tooltip"]["locales"], Json::parse(R"([{"locale": "de_AT", "lcid": "0x0C07", "own": false,
        "asked": "--lcid 0x0C07", "rule": "own key", "line": 4,
        "tooltip": "Servus: begr\u00fc\u00dft jede Datei, die Sie darauf ziehen"}])"));
    EXPECT_EQ(j["icon"]["entries"].size(), 5u);
    EXPECT_EQ(j["icon"]["entries"][3], Json::parse(R"({"entry": 3, "width": 16, "height": 16, "depth": 24,
        "format": "bitmap", "bytes": 872, "usable": true, "shownAs": "16x16"})"));
    ASSERT_EQ(j["icon"]["requests"].size(), 16u) << "eight sizes at two depths";
    EXPECT_EQ(j["icon"]["requests"][1], Json::parse(R"({"size": 16, "use": "small, 100 %", "depth": 24,
        "windows": "Windows 2000", "entry": 3, "shownAs": "16x16"})"));
    EXPECT_EQ(j["versionPage"]["fields"]["File version:"], Json({{"line", 1}, {"value", "1.0.0"}}));
    EXPECT_EQ(j["versionPage"]["rows"].size(), 8u);
    EXPECT_EQ(j["versionPage"]["rows"][7], Json({{"line", 8}, {"name", "Experimental"}, {"value", nullptr}}));
    EXPECT_EQ(j["drop"]["namesInListFile"], false);
    EXPECT_EQ(j["drop"]["parameters"], "  -jar \"" + j["path"].get<std::string>() + "\" \"C:\\a.txt\" ");
    EXPECT_EQ(j["problems"], Json::array());
}

TEST(InspectBadInput, OneLineOnStderrExitTwoAndTheOtherJarsStillReported) {
    const std::string folder = scratch() + "/folder.jar", fifo = scratch() + "/fifo.jar";
    const std::string huge = scratch() + "/huge.jar";
    mkdir(folder.c_str(), 0700);
    mkfifo(fifo.c_str(), 0600);
    // Sparse: five gibibytes of nothing, no disk space.
    ASSERT_EQ(truncate((std::ofstream(huge), huge.c_str()), 5ll << 30), 0);
    const struct {
        std::string path;
        const char* why;
    } cases[] = {
        {scratch() + "/missing.jar", "no such file"},
        {folder, "a folder"},
        {fifo, "a FIFO"},
        {"/dev/null", "a device"},
        {jar("nonzip"), "not a zip archive"},
        {jar("damaged"), "damaged: its central directory breaks off after entry 1"},
        {huge, "not a zip archive"},
    };
    const std::string hello = fixturePath("drop/hello.jar");
    for (const auto& c : cases) {
        Outcome r = inspect({c.path, hello});
        EXPECT_EQ(r.status, 2) << c.path;
        EXPECT_EQ(r.err.rfind("morvane-inspect: " + c.path + ": ", 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_NE(r.err.find(c.why), std::string::npos) << r.err;
        EXPECT_EQ(r.out.rfind("== " + hello, 0), 0u) << c.path << ": the good jar is still reported";
        Json json = Json::parse(inspect({"--json", hello, c.path}).out);
        EXPECT_EQ(json["exitStatus"], 2);
        EXPECT_EQ(json["jars"][1]["path"], c.path);
        EXPECT_TRUE(json["jars"][1]["error"].is_string());
        EXPECT_TRUE(json["jars"][0].contains("tooltip"));
    }
    EXPECT_EQ(inspect({"--no-such-option", hello}).status, 2);
    EXPECT_EQ(inspect({}).status, 2);
    std::remove(huge.c_str());
}

}  // namespace
