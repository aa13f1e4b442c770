// The jar as a zip archive: the walk over its central directory and the
// members the extension reads, with the reasons a member counts as absent.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "Report.h"
#include "MemberText.h"
#include "base/Holder.h"

namespace {

const char* const kMembers[] = {MEMBER_ICON, MEMBER_DESCRIPTION, MEMBER_VERSION, MEMBER_STARTOPTIONS};
const char kShellFolder[] = "shell-meta-inf/";
// Names reported one by one at the most; the rest are counted.
constexpr size_t kNamesListed = 10;

// What the user loses when a member counts as absent.
std::string loss(const std::string& member) {
    if (member == MEMBER_ICON) return "the jar shows no icon of its own";
    if (member == MEMBER_DESCRIPTION) return "the jar has no tooltip";
    if (member == MEMBER_VERSION) return "the jar has no Version page";
    return "dropped names come on the command line";
}

std::string methodName(uint16_t method) {
    static const struct {
        uint16_t method;
        const char* name;
    } kNames[] = {{9, "deflate64"}, {12, "bzip2"}, {14, "LZMA"}, {93, "Zstandard"}, {95, "XZ"}, {98, "PPMd"}};
    for (const auto& known : kNames)
        if (known.method == method) return std::to_string(method) + " (" + known.name + ")";
    return std::to_string(method);
}

uint64_t nameHash(const char* name, size_t length) {
    uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (size_t i = 0; i < length; ++i) hash = (hash ^ static_cast<unsigned char>(name[i])) * 1099511628211ull;
    return hash;
}

bool startsWith(const std::string& text, const std::string& start) { return text.compare(0, start.size(), start) == 0; }

std::string baseNameOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Names under shell-meta-inf/ that the extension will not find as meant: the
// first few, and how many there are.
struct NameFindings {
    std::vector<std::pair<std::string, std::string>> listed;  // name, the name meant
    size_t count = 0;
    void add(const std::string& name, const std::string& meant) {
        if (listed.size() < kNamesListed) listed.emplace_back(shownBytes(name.data(), name.size()), meant);
        ++count;
    }
};

struct FirstWalk {
    Jar* jar = nullptr;
    uint64_t entries = 0;
    std::vector<uint64_t> hashes;  // of every name, for the duplicates
    NameFindings wrongCase;
    NameFindings misplaced;
};

void noteShellName(FirstWalk& walk, const std::string& name, const DirectoryEntry& entry) {
    std::string lower = lowerAscii(name);
    for (const char* member : kMembers) {
        if (name == member) {
            walk.jar->members.emplace(name, MemberEntry{entry.method, entry.size, entry.problem});
            return;
        }
        if (lower == member) {
            walk.wrongCase.add(name, member);
            return;
        }
    }
    // Folder entries say nothing the names of the members in them do not.
    if (name.back() == '/') return;
    if (!startsWith(name, kShellFolder)) {
        walk.wrongCase.add(name, kShellFolder + name.substr(sizeof kShellFolder - 1));
        return;
    }
    for (const char* member : kMembers)
        if (lowerAscii(baseNameOf(name)) == baseNameOf(member)) walk.misplaced.add(name, member);
}

bool visitFirst(const DirectoryEntry& entry, void* context) {
    FirstWalk& walk = *static_cast<FirstWalk*>(context);
    walk.hashes.push_back(nameHash(entry.name, entry.nameLength));
    ++walk.entries;
    if (entry.nameLength >= sizeof kShellFolder - 1 &&
        lowerAscii(std::string(entry.name, sizeof kShellFolder - 1)) == kShellFolder)
        noteShellName(walk, std::string(entry.name, entry.nameLength), entry);
    return true;
}

// The hash values that more than one name has, ascending.
std::vector<uint64_t> sharedHashes(std::vector<uint64_t>& hashes) {
    std::sort(hashes.begin(), hashes.end());
    std::vector<uint64_t> shared;
    for (size_t i = 1; i < hashes.size(); ++i)
        if (hashes[i - 1] == hashes[i] && (shared.empty() || shared.back() != hashes[i])) shared.push_back(hashes[i]);
    return shared;
}

// The second walk, only when names share a hash: counts those names.
struct SecondWalk {
    std::vector<uint64_t> shared;
    std::map<std::string, int> counts;
};

bool visitSecond(const DirectoryEntry& entry, void* context) {
    SecondWalk& walk = *static_cast<SecondWalk*>(context);
    if (std::binary_search(walk.shared.begin(), walk.shared.end(), nameHash(entry.name, entry.nameLength)))
        ++walk.counts[std::string(entry.name, entry.nameLength)];
    return true;
}

void reportNames(Json& report, const NameFindings& names, const std::string& what, const std::string& why) {
    for (const auto& [name, meant] : names.listed) addProblem(report, name, what + meant, why);
    if (names.count > names.listed.size())
        addProblem(report, std::to_string(names.count - names.listed.size()) + " more names", what + "...", why);
}

void reportDuplicates(Json& report, const std::map<std::string, int>& counts) {
    std::string others;
    size_t otherCount = 0;
    for (const auto& [name, count] : counts) {
        if (count < 2 || name.back() == '/') continue;
        if (startsWith(name, kShellFolder)) {
            addProblem(report, shownBytes(name.data(), name.size()),
                       "stands " + std::to_string(count) + " times in the jar's directory",
                       "Morvane reads the first entry, the JVM the last: keep one");
        } else if (++otherCount <= kNamesListed) {
            others += (others.empty() ? "" : ", ") + shownBytes(name.data(), name.size());
        }
    }
    if (otherCount == 0) return;
    if (otherCount > kNamesListed) others += " and " + std::to_string(otherCount - kNamesListed) + " more";
    std::string names = otherCount == 1 ? "a name stands" : std::to_string(otherCount) + " names stand";
    addProblem(report, "the jar's directory", names + " more than once: " + others,
               "Morvane and most zip tools take the first entry of a name, the JVM the last");
}

}  // namespace

bool inspectArchive(Jar& jar, Json& report, std::string* error) {
    // Opened as the extension opens every jar.
    ArchiveFile source(jar.path.c_str());
    if (!source.isOpen()) {
        *error = std::string("cannot be opened: ") + std::strerror(errno);
        return false;
    }
    FirstWalk first;
    first.jar = &jar;
    DirectoryWalk result = walkArchiveDirectory(source, visitFirst, &first);
    if (result == kWalkNoArchive) {
        *error = "not a zip archive: it has no end record that a zip reader accepts";
        return false;
    }
    if (result == kWalkDamaged) {
        *error = "damaged: its central directory breaks off after entry " + std::to_string(first.entries);
        return false;
    }
    report["archive"] = {{"entries", first.entries}};
    reportNames(report, first.wrongCase, "is not found in this letter case: name it ",
                "Morvane matches names exactly, letter case included");
    reportNames(report, first.misplaced, "is not read from here: Morvane reads ",
                "only the member of exactly that name counts");
    SecondWalk second;
    second.shared = sharedHashes(first.hashes);
    first.hashes = {};
    if (!second.shared.empty() && walkArchiveDirectory(source, visitSecond, &second) == kWalkComplete)
        reportDuplicates(report, second.counts);
    return true;
}

JarMember::JarMember(const Jar& jar, const char* name, Json& section, Json& report) : member_(jar.path.c_str(), name) {
    Json state = {{"name", name}};
    auto entry = jar.members.find(name);
    if (member_.present()) {
        state["state"] = "read";
        state["bytes"] = member_.length();
    } else if (entry == jar.members.end()) {
        state["state"] = "absent";
    } else if (entry->second.size == 0) {
        state["state"] = "empty";
        addProblem(report, name, "is empty", "an empty member counts as absent: " + loss(name));
    } else {
        const MemberEntry& e = entry->second;
        std::string why;
        switch (e.problem) {
            case kEntryEncrypted:
                why = "is encrypted";
                break;
            case kEntryUnsupportedMethod:
                why = "is compressed with method " + methodName(e.method) + "; only stored and deflated members are read";
                break;
            case kEntryTooLarge:
                why = "holds " + std::to_string(e.size) + " bytes, over the limit of " +
                      std::to_string(kMaxMemberSize / (1024 * 1024)) + " MiB";
                break;
            default:
                why = "is damaged: its sizes, headers or checksum do not agree";
                break;
        }
        state["state"] = "unreadable";
        state["reason"] = why;
        addProblem(report, name, why, "Morvane cannot read it, so " + loss(name));
    }
    section["member"] = state;
}
