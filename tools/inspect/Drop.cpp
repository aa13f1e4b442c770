// The drop: whether the start options ask for a name list file, and the
// parameter string the program gets, built by the extension's own code in
// both text widths of a drop.
#include <cstring>

#include "Report.h"
#include "MemberText.h"
#include "Platform.h"
#include "base/Holder.h"
#include "launch/LaunchParameters.h"
#include "launch/NameListFile.h"
#include "launch/StartOptions.h"
#include "text/MetadataText.h"
#include "text/TextConvert.h"

namespace {

// The names shown when the command line gives none.
const char* const kExampleNames[] = {"C:\\data\\a.txt", "C:\\data\\b c.txt"};
// What the platform makes of the prefix: its first three characters, a
// number and .tmp.
constexpr size_t kTempPrefixLength = 3;

void checkOptionLines(const char* bytes, size_t length, const StartOptions& options, Json& report) {
    std::vector<MemberLine> lines = memberLines(bytes, length);
    LineArray<char> unescaped(splitMetadataLines(bytes, length, START_OPTIONS_LINE_BREAK));
    const std::string key = START_OPTION_NAMES_IN_LIST_FILE;
    const std::string stem = key.substr(0, key.size() - 1);
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string where = lineWhere(MEMBER_STARTOPTIONS, lines[i].number);
        if (int(i) == options.listFileLine && unescaped) {
            std::string value = unescaped.get()[i] + key.size();
            if (value != "true")
                addProblem(report, where, "sets " + key + shownBytes(value.data(), value.size()),
                           "the value is not read: any value asks for the name list file. Write =true, or remove "
                           "the line to have the names on the command line");
            continue;
        }
        std::string line(lines[i].start, lines[i].length);
        size_t first = line.find_first_not_of(" \t");
        if (first != std::string::npos && lowerAscii(line.substr(first, stem.size())) == stem)
            addProblem(report, where, "is not the option line " + key,
                       "only a line that begins with exactly " + key + " counts: this one has no effect");
    }
}

// The parameter string as the wide run of a drop builds it.
std::string wideParameters(const Jar& jar, const std::vector<std::string>& names, const std::string& listFile) {
    std::vector<WChar> list;
    for (const std::string& name : names) {
        CorePtr<WChar> wide(utf8ToWide(name.data(), name.size()));
        for (const WChar* unit = wide.get(); unit && *unit; ++unit) list.push_back(*unit);
        list.push_back(0);
    }
    list.push_back(0);
    CorePtr<WChar> archive(pathToWide(jar.path));
    CorePtr<WChar> listPath(listFile.empty() ? nullptr : utf8ToWide(listFile.data(), listFile.size()));
    CorePtr<WChar> parameters(buildDropParameters(listPath.get(), archive.get(), list.data()));
    return utf8Of(parameters.get());
}

// The same for the ANSI run; false when the jar's path, the list file's or a
// name has no ANSI form: the ANSI run then starts nothing.
bool ansiParameters(const Jar& jar, const std::vector<std::string>& names, const std::string& listFile,
                    std::string* shown) {
    std::string list;
    for (const std::string& name : names) {
        std::string ansi;
        if (!utf8ToSystemText(name, &ansi)) return false;
        list += ansi + '\0';
    }
    list += '\0';
    std::string archive, listPath;
    if (!pathToSystemText(jar.path, &archive) || (!listFile.empty() && !utf8ToSystemText(listFile, &listPath)))
        return false;
    CorePtr<char> parameters(buildDropParameters(listFile.empty() ? nullptr : listPath.c_str(), archive.c_str(),
                                                 list.data(), systemLeadByteTest()));
    CorePtr<WChar> wide(systemTextToWide(parameters.get()));
    *shown = utf8Of(wide.get());
    return true;
}

}  // namespace

void inspectDrop(const Jar& jar, const Options& options, Json& report) {
    Json section = Json::object();
    JarMember member(jar, MEMBER_STARTOPTIONS, section, report);
    StartOptions startOptions = {false, -1};
    if (member.present() && parseStartOptions(member.data(), member.length(), &startOptions))
        checkOptionLines(member.data(), member.length(), startOptions, report);
    section["namesInListFile"] = startOptions.namesInListFile;

    std::vector<std::string> names = options.dropNames;
    if (names.empty()) names.assign(std::begin(kExampleNames), std::end(kExampleNames));
    section["names"] = names;
    std::string listFile;
    if (startOptions.namesInListFile) {
        listFile = tempFolderShown() + std::string(NAME_LIST_FILE_PREFIX, kTempPrefixLength) + "XXXX.tmp";
        section["listFile"] = listFile;
        Json records = Json::array();
        for (const std::string& name : names) records.push_back({{"bytes", name.size()}, {"name", name}});
        section["listFileRecords"] = records;
    }
    std::string wide = wideParameters(jar, names, listFile);
    section["parameters"] = wide;
    std::string ansi;
    if (!ansiParameters(jar, names, listFile, &ansi))
        section["ansiParameters"] = nullptr;
    else if (ansi != wide)
        section["ansiParameters"] = ansi;
    report["drop"] = section;
}
