#pragma once
// morvane-inspect: what the shell extension shows for a jar, worked out by the
// extension's own core code (zip reader, text conversions, metadata text,
// locale table, icon entry rule, start options and parameter string), and,
// for --check, the problems a jar's author can fix.
//
// Each section fills its part of one report, a JSON object: --json prints it,
// the text view is drawn from it, so the two always say the same.
#include <nlohmann/json.hpp>

#include <map>
#include <string>
#include <vector>

#include "archive/ArchiveReader.h"

using Json = nlohmann::ordered_json;

struct LocaleRequest {
    std::string name;   // what the description lookup is given
    std::string asked;  // how the locale was asked for, when that says more than the name
    bool own = false;   // the user's own locale
};

struct Options {
    bool check = false;
    bool json = false;
    std::vector<LocaleRequest> locales;  // --locale and --lcid; none: the common ones and the user's
    std::vector<std::string> dropNames;
    std::string extractDir;
    std::vector<std::string> jars;
};

// What the central directory says about one member.
struct MemberEntry {
    uint16_t method;
    uint64_t size;
    EntryProblem problem;
};

struct Jar {
    std::string shownPath;  // as given on the command line
    std::basic_string<PathChar> path;  // the full path as the shell hands it to the extension
    std::string baseName;   // the file name without .jar, for extracted icons
    // The first directory entry of each member the extension reads.
    std::map<std::string, MemberEntry> members;
};

// Walks the jar's directory: fills jar.members, reports names in the wrong
// case, misplaced members and duplicate names. False, with the reason in
// *error, when the jar cannot be read at all.
bool inspectArchive(Jar& jar, Json& report, std::string* error);
void inspectTooltip(const Jar& jar, const Options& options, Json& report);
void inspectIcon(const Jar& jar, const Options& options, Json& report);
void inspectVersionPage(const Jar& jar, Json& report);
void inspectDrop(const Jar& jar, const Options& options, Json& report);
// The jar's standard metadata with the source of each value, and (reported
// for --check) what keeps it from being shown.
void inspectMetadata(const Jar& jar, const Options& options, Json& report);

// Lines of a member and problems listed at the most: a member may hold
// millions of lines. The checks still read every line; the report says how
// many it leaves out.
constexpr size_t kLinesListed = 1000;
constexpr size_t kProblemsListed = 200;

// One problem a jar's author can fix: where it is, what it is, why it matters.
void addProblem(Json& report, const std::string& where, const std::string& what, const std::string& why);

// A member read exactly as the extension reads it. Describes its state in
// section["member"] and reports a member that is there but cannot be read.
class JarMember {
public:
    JarMember(const Jar& jar, const char* name, Json& section, Json& report);
    bool present() const { return member_.present(); }
    const char* data() const { return member_.data(); }
    uint32_t length() const { return member_.length(); }

private:
    MetadataMember member_;
};

// The report as text for a person.
std::string reportText(const Json& report, bool check);
