// The reader against Info-ZIP unzip, the reference for what bytes a member
// holds, over archives made by the JDK's jar, Info-ZIP zip and python's
// zipfile (tests/fixtures/make_zips.py), over truncated and corrupted copies
// of them, and over the real archives on the machine. For every member asked
// for, our bytes equal unzip's, or both readers find nothing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "archive/ArchiveReader.h"

namespace {

struct Question {
    std::string archive;
    bool mutate;
    std::string member;
    std::string expect;  // "unzip", "absent" or "file:NAME"
};

std::vector<Question> loadManifest() {
    std::vector<Question> questions;
    std::ifstream in(fixturePath("zips/manifest.txt"));
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        Question q;
        std::string mutate;
        std::getline(fields, q.archive, '\t');
        std::getline(fields, mutate, '\t');
        std::getline(fields, q.member, '\t');
        std::getline(fields, q.expect, '\t');
        q.mutate = mutate == "1";
        questions.push_back(q);
    }
    return questions;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct Answer {
    bool found = false;  // unzip: exited 0; ours: status 1
    int exitCode = 0;    // unzip only
    std::string bytes;
};

// Runs an Info-ZIP program without a shell (this test starts unzip some ten
// thousand times) and collects its standard output.
Answer runUnzip(std::vector<const char*> argv) {
    Answer a;
    int out[2];
    if (pipe(out) != 0) return a;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    argv.push_back(nullptr);
    pid_t pid;
    int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, const_cast<char* const*>(argv.data()), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned == 0) {
        char chunk[65536];
        ssize_t got;
        while ((got = read(out[0], chunk, sizeof chunk)) > 0) a.bytes.append(chunk, static_cast<size_t>(got));
        int status = 0;
        waitpid(pid, &status, 0);
        a.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 255;
        a.found = a.exitCode == 0;
    } else {
        ADD_FAILURE() << "cannot start " << argv[0];
        a.exitCode = 255;
    }
    close(out[0]);
    return a;
}

// unzip -p writes the member to standard output. A wrong password is given so
// that an encrypted member is skipped instead of prompting.
Answer askUnzip(const std::string& archive, const std::string& member) {
    return runUnzip({"unzip", "-p", "-P", "morvane-wrong-password", archive.c_str(), member.c_str()});
}

Answer askReader(const std::string& archive, const std::string& member, std::string* problem) {
    MemberBuffer buffer = {7, reinterpret_cast<char*>(&buffer)};
    int status = readArchiveMember(archive.c_str(), member.c_str(), &buffer);
    Answer a;
    if (status == 1) {
        a.found = true;
        if (!buffer.data)
            *problem = "status 1 with no data";
        else if (buffer.data[buffer.length] != '\0')
            *problem = "no NUL byte after the data";
        else
            a.bytes.assign(buffer.data, buffer.length);
    } else if (status != 0) {
        *problem = "status " + std::to_string(status);
    } else if (buffer.data != nullptr || buffer.length != 0) {
        *problem = "status 0 left data behind";
    }
    freeArchiveMember(&buffer);
    return a;
}

// Where unzip reads a member cleanly, we read the same bytes. Where unzip
// complains (a warning or an error), we either find nothing or the very bytes
// unzip wrote out.
std::string judge(const Answer& ours, const Answer& unzip) {
    if (unzip.found) {
        if (!ours.found) return "unzip reads it, we do not";
        if (ours.bytes != unzip.bytes) return "bytes differ from unzip's";
        return "";
    }
    if (ours.found && ours.bytes != unzip.bytes)
        return "we read it, unzip fails with exit code " + std::to_string(unzip.exitCode);
    return "";
}

class ScratchDir {
public:
    ScratchDir() {
        std::string templ = (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + std::string("/zipdiffXXXXXX");
        path_ = mkdtemp(&templ[0]) ? templ : "";
    }
    ~ScratchDir() {
        if (!path_.empty()) std::filesystem::remove_all(path_);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

TEST(ArchiveDifferential, ArchivesAsMadeByTheTools) {
    std::vector<Question> questions = loadManifest();
    ASSERT_GT(questions.size(), 100u) << "fixture manifest missing";
    int checks = 0, found = 0;
    for (const Question& q : questions) {
        std::string path = fixturePath("zips/" + q.archive);
        std::string problem;
        Answer ours = askReader(path, q.member, &problem);
        EXPECT_EQ(problem, "") << q.archive << " " << q.member;
        ++checks;
        found += ours.found;
        if (q.expect == "absent") {
            Answer unzip = askUnzip(path, q.member);
            EXPECT_TRUE(unzip.found) << q.archive << " " << q.member << ": unzip should read it";
            EXPECT_FALSE(ours.found) << q.archive << " " << q.member << ": refused on purpose";
        } else if (q.expect.compare(0, 5, "file:") == 0) {
            bool present = q.expect.size() > 5;
            EXPECT_EQ(ours.found, present) << q.archive << " " << q.member;
            if (present && ours.found) {
                EXPECT_TRUE(ours.bytes == readFile(fixturePath("zips/" + q.expect.substr(5))))
                    << q.archive << " " << q.member;
            }
        } else {
            EXPECT_EQ(judge(ours, askUnzip(path, q.member)), "") << q.archive << " " << q.member;
        }
    }
    // Every archive made by a tool yields some members, so a reader that finds
    // nothing at all cannot pass.
    EXPECT_GT(found, checks / 4);
    RecordProperty("member_checks", checks);
    std::printf("%d member checks over the archives as made, %d found\n", checks, found);
}

// The members of an archive as unzip lists them, in directory order: files
// only, each name once, and none that unzip would take for a wildcard pattern.
struct Listed {
    std::string name;
    uint64_t size;
};

std::vector<Listed> listMembers(const std::string& archive) {
    Answer listing = runUnzip({"unzip", "-Z", "-l", archive.c_str()});
    std::vector<Listed> members;
    std::map<std::string, int> seen;
    std::istringstream lines(listing.bytes);
    std::string line;
    while (std::getline(lines, line)) {
        // permissions, version, system, size, type, compressed, method, date, time, name
        std::istringstream fields(line);
        std::string field[9], name;
        for (std::string& f : field) fields >> f;
        fields.get();
        std::getline(fields, name);
        auto number = [](const std::string& f) { return !f.empty() && f.find_first_not_of("0123456789") == f.npos; };
        if (!fields || !number(field[3]) || !number(field[5]) || name.empty() || name.back() == '/') continue;
        if (++seen[name] == 1) members.push_back({name, std::stoull(field[3])});
    }
    std::vector<Listed> usable;
    for (const Listed& m : members)
        if (seen[m.name] == 1 && m.name.find_first_of("[]*?\\") == std::string::npos) usable.push_back(m);
    return usable;
}

// Up to `count` members spread over the directory: the first, the last, the
// largest and evenly spaced ones between them, in directory order.
std::vector<Listed> sampleOf(const std::vector<Listed>& members, size_t count) {
    std::set<size_t> picked;
    size_t largest = 0;
    for (size_t i = 0; i < members.size(); ++i)
        if (members[i].size > members[largest].size) largest = i;
    picked.insert(largest);
    for (size_t j = 0; j + 1 < count; ++j) picked.insert(j * (members.size() - 1) / (count - 2));
    std::vector<Listed> sample;
    for (size_t i : picked) sample.push_back(members[i]);
    return sample;
}

// Archives nobody on the project wrote, found on this machine at run time:
// the JDK's jmods (a zip with four bytes in front) and jars, and the Java
// libraries of the system. A sample of each reads as unzip -p gives it.
TEST(ArchiveDifferential, RealArchivesOnThisMachine) {
    std::set<std::string> archives;
    for (const char* root : {"/usr/lib/jvm", "/usr/share/java"}) {
        std::error_code error;
        for (std::filesystem::recursive_directory_iterator it(root, error), end; !error && it != end;
             it.increment(error)) {
            std::string extension = it->path().extension().string();
            if ((extension == ".jar" || extension == ".jmod") && it->is_regular_file(error))
                archives.insert(std::filesystem::canonical(it->path(), error).string());
        }
    }
    if (archives.empty()) GTEST_SKIP() << "no Java archives on this machine";
    const auto started = std::chrono::steady_clock::now();
    size_t compared = 0, members = 0, unlisted = 0, bytes = 0;
    for (const std::string& archive : archives) {
        std::vector<Listed> listed = listMembers(archive);
        if (listed.empty()) {
            ++unlisted;
            continue;
        }
        ++compared;
        // One unzip for the whole sample: it writes the members one after the
        // other in directory order, so our bytes are joined in that order.
        std::vector<const char*> argv = {"unzip", "-p", archive.c_str()};
        std::string ours, problem;
        const std::vector<Listed> sample = sampleOf(listed, 40);
        for (const Listed& m : sample) {
            Answer a = askReader(archive, m.name, &problem);
            EXPECT_EQ(problem, "") << archive << " " << m.name;
            ++members;
            if (m.size > kMaxMemberSize) {
                EXPECT_FALSE(a.found) << archive << " " << m.name << ": over the size limit";
                continue;
            }
            EXPECT_TRUE(a.found) << archive << " " << m.name;
            ours += a.bytes;
            argv.push_back(m.name.c_str());
        }
        // unzip warns about the bytes in front of a jmod and reads on.
        Answer unzip = runUnzip(argv);
        EXPECT_LE(unzip.exitCode, 1) << archive;
        EXPECT_TRUE(ours == unzip.bytes) << archive << ": the sample's bytes differ from unzip's";
        bytes += ours.size();
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    RecordProperty("real_archives", int(compared));
    RecordProperty("real_members", int(members));
    std::printf("%zu real archives (%zu unzip cannot list), %zu members, %zu bytes compared in %.1f s\n",
                compared, unlisted, members, bytes, seconds);
}

struct DamagedCopy {
    std::string what;
    std::string bytes;
    size_t at;  // the changed byte or the cut; npos when bytes are missing in front
};

// Truncated copies (cut at many lengths, and with bytes missing in front) and
// copies with one bit changed.
std::vector<DamagedCopy> damagedCopies(const std::string& original, unsigned seed) {
    std::vector<DamagedCopy> copies;
    const size_t n = original.size();
    std::vector<size_t> cuts = {0, 1, 4, 21, 22, 23, 30, 46, n / 2, n - 1, n - 2, n - 4, n - 20, n - 21, n - 22,
                                n - 23, n - 42, n - 60, n - 100};
    for (size_t i = 1; i < 16; ++i) cuts.push_back(n * i / 16);
    for (size_t cut : cuts)
        if (cut < n) copies.push_back({"cut at " + std::to_string(cut), original.substr(0, cut), cut});
    for (size_t front : {size_t(1), size_t(30), n / 3})
        if (front < n)
            copies.push_back({"first " + std::to_string(front) + " missing", original.substr(front), std::string::npos});
    std::mt19937 random(seed);
    std::vector<size_t> flips;
    for (size_t back = 1; back <= 22 && back <= n; ++back) flips.push_back(n - back);
    for (int i = 0; i < 40; ++i) flips.push_back(random() % n);
    for (size_t at : flips) {
        std::string copy = original;
        unsigned char bit = static_cast<unsigned char>(1u << (random() % 8));
        copy[at] = static_cast<char>(copy[at] ^ bit);
        copies.push_back({"byte " + std::to_string(at) + " ^ " + std::to_string(bit), copy, at});
    }
    return copies;
}

// The fields of a sound archive that the reader checks more strictly than
// unzip (written by the fixture script): damage there may make us refuse what
// unzip still reads, damage anywhere else may not.
struct StrictRange {
    size_t first, end;
    std::string what;
};

std::vector<StrictRange> loadStrictRanges(const std::string& archive) {
    std::vector<StrictRange> ranges;
    std::ifstream in(fixturePath("zips/" + archive + ".strict"));
    StrictRange r;
    while (in >> r.first >> r.end && std::getline(in >> std::ws, r.what)) ranges.push_back(r);
    return ranges;
}

const StrictRange* strictRangeAt(const std::vector<StrictRange>& ranges, size_t at) {
    for (const StrictRange& r : ranges)
        if (at >= r.first && at < r.end) return &r;
    return nullptr;
}

TEST(ArchiveDifferential, DamagedCopies) {
    std::vector<Question> questions = loadManifest();
    ASSERT_GT(questions.size(), 100u) << "fixture manifest missing";
    std::map<std::string, std::vector<std::string>> members;
    for (const Question& q : questions)
        if (q.mutate && q.expect == "unzip") members[q.archive].push_back(q.member);
    ScratchDir scratch;
    ASSERT_FALSE(scratch.path().empty());
    int archives = 0, checks = 0, found = 0, unzipFound = 0, strict = 0;
    unsigned seed = 1;
    for (const auto& entry : members) {
        std::string original = readFile(fixturePath("zips/" + entry.first));
        std::vector<StrictRange> ranges = loadStrictRanges(entry.first);
        ASSERT_FALSE(ranges.empty()) << entry.first;
        // Ask for one missing member and for up to five that unzip finds in
        // the sound archive, the shell's own first (unzip's time bounds this).
        std::vector<std::string> asked = {"no/such/member"};
        for (const std::string& m : entry.second)
            if (asked.size() < 6 && m != "no/such/member" && askUnzip(fixturePath("zips/" + entry.first), m).found)
                asked.push_back(m);
        for (const DamagedCopy& copy : damagedCopies(original, seed++)) {
            std::string path = scratch.path() + "/damaged.zip";
            writeFile(path, copy.bytes);
            ++archives;
            for (const std::string& m : asked) {
                std::string problem;
                Answer ours = askReader(path, m, &problem);
                Answer unzip = askUnzip(path, m);
                ++checks;
                found += ours.found;
                unzipFound += unzip.found;
                EXPECT_EQ(problem, "") << entry.first << " " << copy.what << " " << m;
                if (unzip.found && !ours.found && copy.at != std::string::npos && strictRangeAt(ranges, copy.at)) {
                    ++strict;
                    continue;
                }
                EXPECT_EQ(judge(ours, unzip), "") << entry.first << " " << copy.what << " " << m;
            }
        }
    }
    // Most damage leaves most members readable to both; a reader that gave up
    // on every damaged archive would fail above, and so would one that never
    // noticed damage.
    EXPECT_GT(found, checks / 4);
    RecordProperty("damaged_archives", archives);
    RecordProperty("member_checks", checks);
    std::printf("%d damaged copies, %d member checks: %d read by us, %d by unzip, %d refused by our stricter checks\n",
                archives, checks, found, unzipFound, strict);
}

}  // namespace
