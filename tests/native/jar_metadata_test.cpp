// The standard metadata readers against the JDK itself: java.util.jar.Manifest
// and java.util.Properties on generated odd inputs, and a small Java program
// (tests/support/MetadataReference.java, compiled here) that derives each
// jar's name, version, vendor and description by the same rules from the
// JDK's own readers, over the generated fixtures and every jar on the machine.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "CountedArchiveFile.h"
#include "TestSupport.h"
#include "metadata/JarMetadata.h"
#include "metadata/Manifest.h"
#include "metadata/Properties.h"
#include "text/TextConvert.h"

namespace fs = std::filesystem;

namespace {

// Texts as the Java program writes them: UTF-16 units in hex, "-" for none.
std::string hex(const char* utf8, size_t length) {
    if (!utf8) return "-";
    std::string out;
    // Converted between NUL bytes, which the conversion would end at.
    for (size_t start = 0; start <= length;) {
        size_t end = start;
        while (end < length && utf8[end] != '\0') ++end;
        WChar* wide = utf8ToWide(utf8 + start, end - start);
        if (!wide) return "not UTF-8";
        for (WChar* p = wide; *p; ++p) {
            char unit[5];
            std::snprintf(unit, sizeof unit, "%04x", static_cast<unsigned>(*p));
            out += unit;
        }
        coreFree(wide);
        if (end < length) out += "0000";
        start = end + 1;
    }
    return out;
}
std::string hex(const char* utf8) { return hex(utf8, utf8 ? std::strlen(utf8) : 0); }

std::string shellQuoted(const std::string& s) { return "'" + s + "'"; }

// Runs the reference program (compiled once) and returns its lines.
std::vector<std::vector<std::string>> runReference(const std::string& mode, const std::vector<std::string>& args) {
    static std::string classes;
    if (classes.empty()) {
        char folder[] = "/tmp/metadata-reference-XXXXXX";
        classes = mkdtemp(folder);
        std::string source = std::string(std::getenv("MORVANE_SOURCE_DIR")) + "/tests/support/MetadataReference.java";
        EXPECT_EQ(std::system(("javac -d " + shellQuoted(classes) + " " + shellQuoted(source)).c_str()), 0);
    }
    // The JDK logs each duplicate header; the test compares, it does not log.
    std::string command = "java -Djava.util.logging.config.file=/dev/null -cp " + shellQuoted(classes) +
                          " MetadataReference " + mode;
    for (const std::string& a : args) command += " " + shellQuoted(a);
    std::vector<std::vector<std::string>> lines;
    FILE* pipe = popen(command.c_str(), "r");
    std::string text;
    char chunk[65536];
    for (size_t n; pipe && (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) text.append(chunk, n);
    EXPECT_TRUE(pipe && pclose(pipe) == 0) << command.substr(0, 200);
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> fields;
        std::istringstream f(line);
        for (std::string field; std::getline(f, field, '\t');) fields.push_back(field);
        lines.push_back(fields);
    }
    return lines;
}

// ---- The readers on generated inputs ----------------------------------------

// Pieces of manifests and properties files that the JDK reads in odd ways.
const char* const kManifestLines[] = {
    "Manifest-Version: 1.0", "Implementation-Title: Tool", "implementation-TITLE: Other case", "Bundle-Name: %name",
    "X-Text: \xC3\xA9t\xC3\xA9 \xE2\x82\xAC", "X-Bad: \xFF\xFE", " continued", "  two blanks", "Key:value",
    "\xEF\xBB\xBFManifest-Version: 1.0", "Bad Name: x", "", "Name: entry/", "NAME: other", "Empty: ", "Colon: a:b",
    ": no name", "Tab:\tvalue", "Key: value\tTAB", "Nul: a\0b", "A_b-9: x", "\xC3\xA4: umlaut name",
    "Created-By: 17 (Oracle)", "Name:entry",
};
const char* const kPropertiesLines[] = {
    "key=value", "key:value", "key value", "key\t=\t value ", "   leading=blanks", "# comment", "! comment",
    "cont=first\\", "   next", "\\u00e9=\\u00E9t\\u00e9", "bad=\\u12", "bad=\\u12G4", "k\\=ey=v", "k\\ ey=v",
    "smile=\\ud83d\\ude00", "lone=\\ud83d", "latin=\xE9\xFF", "empty=", "onlykey", "\\", "even=a\\\\", "odd=a\\\\\\",
    "\f=ff", "a=b=c", "x::y", "esc=\\t\\n\\r\\f\\q", "#", "key=value", "KEY=other case", "dup=1", "dup=2", "",
    "  ", "\\u005c=backslash key", "u=\\u", "tab\tkey\tvalue",
};
const char* const kLineEnds[] = {"\n", "\r\n", "\r"};

template <size_t N>
std::string generate(std::mt19937& random, const char* const (&pieces)[N], bool withLongLines) {
    std::string text;
    int lines = 1 + static_cast<int>(random() % 8);
    for (int i = 0; i < lines; ++i) {
        if (withLongLines && random() % 12 == 0) {
            // Lines at the JDK's line limit: 511 bytes before the line end and around it.
            size_t length = 505 + random() % 9;
            text += "Long: " + std::string(length - 6, 'x');
        } else {
            const char* piece = pieces[random() % N];
            text.append(piece, std::strcmp(piece, "Nul: a") == 0 ? 8 : std::strlen(piece));
        }
        if (i + 1 < lines || random() % 3 != 0) text += kLineEnds[random() % 3];
    }
    return text;
}

std::string writeInputs(const std::string& kind, const std::vector<std::string>& texts,
                        std::vector<std::string>* files) {
    char folder[] = "/tmp/metadata-inputs-XXXXXX";
    std::string dir = mkdtemp(folder);
    for (size_t i = 0; i < texts.size(); ++i) {
        files->push_back(dir + "/" + kind + std::to_string(i));
        std::ofstream(files->back(), std::ios::binary) << texts[i];
    }
    return dir;
}

// A 511-byte line ended by CR LF, which the JDK reads differently by where
// its buffer ends, and which the reader therefore refuses.
bool hasAmbiguousLine(const std::string& text) {
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 1)) {
        size_t start = text.find_last_of("\r\n", at - 1);
        if (at - (start == std::string::npos ? 0 : start + 1) == 511) return true;
    }
    return false;
}

TEST(JarMetadataReaders, ManifestAndPropertiesAgreeWithTheJdk) {
    std::mt19937 random(19);
    std::vector<std::string> manifests, properties;
    for (int i = 0; i < 1500; ++i) manifests.push_back(generate(random, kManifestLines, true));
    for (int i = 0; i < 1500; ++i) properties.push_back(generate(random, kPropertiesLines, false));
    std::vector<std::string> manifestFiles, propertiesFiles;
    std::string dir1 = writeInputs("manifest", manifests, &manifestFiles);
    std::string dir2 = writeInputs("properties", properties, &propertiesFiles);

    auto jdkManifests = runReference("manifest", manifestFiles);
    size_t index = SIZE_MAX, read = 0, refusedBoth = 0;
    std::vector<std::pair<std::string, std::string>> jdk;
    bool jdkRefused = false;
    auto compareManifest = [&] {
        if (index == SIZE_MAX) return;
        std::string text = manifests[index];
        Manifest manifest;
        bool ours = manifest.read(&text[0], text.size());
        SCOPED_TRACE(manifestFiles[index]);
        if (jdkRefused) {
            EXPECT_FALSE(ours) << "the JDK refuses this manifest";
            refusedBoth += !ours;
            return;
        }
        if (!ours) {
            EXPECT_TRUE(hasAmbiguousLine(manifests[index])) << "refused a manifest that the JDK reads";
            return;
        }
        ++read;
        ASSERT_EQ(manifest.count(), jdk.size());
        for (size_t i = 0; i < jdk.size(); ++i) {
            const ManifestAttribute& a = manifest.attribute(i);
            EXPECT_EQ(hex(std::string(a.name, a.nameLength).c_str()), jdk[i].first);
            if (a.value) EXPECT_EQ(hex(a.value, a.valueLength), jdk[i].second) << std::string(a.name, a.nameLength);
        }
    };
    for (const auto& line : jdkManifests) {
        if (line[0] == "FILE") {
            compareManifest();
            index = index == SIZE_MAX ? 0 : index + 1;
            jdk.clear();
            jdkRefused = false;
        } else if (line[0] == "REFUSED") {
            jdkRefused = true;
        } else {
            jdk.emplace_back(line[1], line.size() > 2 ? line[2] : "");
        }
    }
    compareManifest();
    EXPECT_EQ(index, manifests.size() - 1);
    std::printf("manifests: %zu read alike, %zu refused by both\n", read, refusedBoth);
    EXPECT_GT(read, 200u);
    EXPECT_GT(refusedBoth, 200u);

    auto jdkProperties = runReference("properties", propertiesFiles);
    std::map<std::string, std::string> expected;
    index = SIZE_MAX;
    read = refusedBoth = 0;
    auto compareProperties = [&] {
        if (index == SIZE_MAX) return;
        std::map<std::string, std::string> ours;
        bool accepted = readProperties(
            properties[index].data(), properties[index].size(),
            [](const PropertyEntry& e, void* context) {
                auto& map = *static_cast<std::map<std::string, std::string>*>(context);
                if (e.key) map[hex(e.key, e.keyLength)] = e.value ? hex(e.value, e.valueLength) : "unusable";
            },
            &ours);
        SCOPED_TRACE(propertiesFiles[index]);
        EXPECT_EQ(accepted, !jdkRefused);
        refusedBoth += !accepted && jdkRefused;
        if (!accepted || jdkRefused) return;
        ++read;
        for (const auto& [key, value] : expected)
            if (!ours.count(key)) EXPECT_NE(key.find("d8"), std::string::npos) << "key missing: " << key;
        for (const auto& [key, value] : ours) {
            ASSERT_TRUE(expected.count(key)) << key;
            if (value != "unusable") EXPECT_EQ(value, expected[key]) << key;
        }
    };
    for (const auto& line : jdkProperties) {
        if (line[0] == "FILE") {
            compareProperties();
            index = index == SIZE_MAX ? 0 : index + 1;
            expected.clear();
            jdkRefused = false;
        } else if (line[0] == "REFUSED") {
            jdkRefused = true;
        } else {
            expected[line.size() > 1 ? line[1] : ""] = line.size() > 2 ? line[2] : "";
        }
    }
    compareProperties();
    EXPECT_EQ(index, properties.size() - 1);
    std::printf("properties files: %zu read alike, %zu refused by both\n", read, refusedBoth);
    EXPECT_GT(read, 200u);
    fs::remove_all(dir1);
    fs::remove_all(dir2);
}

// ---- The session under the metadata --------------------------------------------

std::vector<std::string> jarsOnTheMachine() {
    std::set<std::string> seen;
    std::vector<std::string> jars;
    for (const char* root : {"/usr/share/java", "/usr/lib/jvm", "/usr/share", "/opt"}) {
        std::error_code error;
        for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, error);
             it != fs::recursive_directory_iterator(); it.increment(error)) {
            if (error || it->path().extension() != ".jar" || !fs::is_regular_file(it->path(), error)) continue;
            if (seen.insert(fs::canonical(it->path(), error).string()).second) jars.push_back(it->path().string());
        }
    }
    return jars;
}

// One walk, then every member by its location (neighbours fetched together)
// gives what readArchiveMemberFrom gives for its name: the generated zips
// (zip64, data descriptors, stubs, comments, damage) and samples of real jars.
TEST(ArchiveSession, ReadsWhatTheMemberReaderReads) {
    std::vector<std::string> archives = jarsOnTheMachine();
    for (const char* folder : {"zips", "metadata"})
        for (const auto& entry : fs::directory_iterator(fixturePath(folder))) archives.push_back(entry.path().string());
    size_t compared = 0;
    for (const std::string& path : archives) {
        std::ifstream in(path, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        MemorySource source(bytes.data(), bytes.size());
        struct Kept {
            std::vector<std::string> names;
            std::vector<MemberLocation> locations;
            std::set<std::string> seen;
        } kept;
        kept.locations.reserve(200000);
        ArchiveSession session(source);
        if (!session.open()) continue;
        session.walk(
            [](const char* name, uint32_t length, void* context) -> MemberLocation* {
                Kept& k = *static_cast<Kept*>(context);
                if (!k.seen.insert(std::string(name, length)).second || k.names.size() == 200000) return nullptr;
                k.names.emplace_back(name, length);
                k.locations.emplace_back();
                return &k.locations.back();
            },
            &kept);
        size_t step = kept.names.size() / 40 + 1;  // a sample of a large jar
        std::vector<const MemberLocation*> wanted;
        for (size_t i = 0; i < kept.names.size(); i += step) wanted.push_back(&kept.locations[i]);
        session.prefetch(wanted.data(), wanted.size(), wanted.size() / 2);
        for (size_t i = 0; i < kept.names.size(); i += step) {
            MemberBuffer ours, theirs;
            int status = session.read(kept.locations[i], kept.names[i].c_str(), &ours);
            EXPECT_EQ(status, readArchiveMemberFrom(source, kept.names[i].c_str(), &theirs))
                << path << " " << kept.names[i];
            EXPECT_EQ(std::string(ours.data ? ours.data : "", ours.length),
                      std::string(theirs.data ? theirs.data : "", theirs.length)) << path << " " << kept.names[i];
            freeArchiveMember(&ours);
            freeArchiveMember(&theirs);
            ++compared;
        }
    }
    EXPECT_GT(compared, 1000u);
}

// ---- Jars ---------------------------------------------------------------------

struct Derived {
    bool present = false;
    std::string fields[4];  // name, version, vendor, description as hex
};

Derived derive(const std::string& path, const char* locale, JarMetadataUse use) {
    CountedArchiveFile source(path.c_str());
    JarMetadata metadata;
    Derived d;
    d.present = readJarMetadata(source, {path.c_str(), locale, use}, &metadata);
    for (JarField f : {kJarName, kJarVersion, kJarVendor, kJarDescription}) d.fields[f] = hex(metadata.text(f));
    return d;
}

TEST(JarMetadata, EveryJarAgreesWithTheJdk) {
    std::vector<std::string> jars = jarsOnTheMachine();
    const size_t real = jars.size();
    for (const auto& entry : fs::directory_iterator(fixturePath("metadata"))) jars.push_back(entry.path().string());
    size_t named = 0, paged = 0, compared = 0, unopened = 0;
    for (const auto& line : runReference("jars de_DE", jars)) {
        ASSERT_GE(line.size(), 2u);
        SCOPED_TRACE(line[1]);
        Derived tip = derive(line[1], "de_DE", kMetadataForTooltip);
        Derived page = derive(line[1], "de_DE", kMetadataForPage);
        if (line[2] == "ERROR") {  // not a zip that the JDK opens
            ++unopened;
            continue;
        }
        ASSERT_EQ(line.size(), 6u);
        ++compared;
        for (int f = 0; f < 4; ++f) {
            EXPECT_EQ(tip.fields[f], line[2 + f]) << "field " << f;
            EXPECT_EQ(page.fields[f], tip.fields[f]) << "field " << f << ": the page and the tooltip differ";
        }
        if (compared <= real) {
            named += tip.fields[kJarName] != "-";
            paged += page.present;
        }
    }
    EXPECT_EQ(compared + unopened, jars.size());
    std::printf("real jars: %zu (%zu the JDK cannot open), with a tooltip (a name): %zu (%.0f%%), with a page: %zu "
                "(%.0f%%)\n", real, unopened, named, real ? 100.0 * named / real : 0.0, paged,
                real ? 100.0 * paged / real : 0.0);
}

struct Expected {
    const char* jar;
    const char* locale;
    const char* name;
    const char* version;
    const char* vendor;
    const char* description;
};

// The rules that both implementations could get wrong alike.
const Expected kFixtures[] = {
    {"osgi-bundle.jar", "de_DE", "Beispielwerkzeug", "1.2.3.v20260101", "Example Org",
     "Zeigt, wie \xC3\xBC" "bersetzt wird"},
    {"osgi-bundle.jar", "de_AT", "Beispielwerkzeug (\xC3\x96sterreich)", "1.2.3.v20260101", "Example Org",
     "Zeigt, wie \xC3\xBC" "bersetzt wird"},
    {"osgi-bundle.jar", "en_US", "Example Tool", "1.2.3.v20260101", "Example Org", "Shows howa bundle is translated"},
    {"osgi-bundle.jar", nullptr, "Example Tool", "1.2.3.v20260101", "Example Org", "Shows howa bundle is translated"},
    {"tool-all-2.0.jar", "en_US", "tool-all", "2.0.1", "Example Org", nullptr},
    {"bundled.jar", "en_US", "helper", "5.0", nullptr, nullptr},
    {"module-only.jar", "en_US", "org.example.mod", "3.1", nullptr, nullptr},
    {"multi-release.jar", "en_US", "org.example.mr", "2.0", nullptr, nullptr},
    {"single-release.jar", "en_US", "org.example.mr", "1.0", nullptr, nullptr},
    {"placeholder.jar", "en_US", "Tool", "1.0", nullptr, nullptr},
    {"minimal.jar", "en_US", nullptr, nullptr, nullptr, nullptr},
};

TEST(JarMetadata, FixturesByTheRules) {
    for (const Expected& e : kFixtures) {
        SCOPED_TRACE(std::string(e.jar) + " " + (e.locale ? e.locale : "no locale"));
        Derived d = derive(fixturePath("metadata/") + e.jar, e.locale, kMetadataForPage);
        EXPECT_EQ(d.present, e.name != nullptr);
        const char* expected[] = {e.name, e.version, e.vendor, e.description};
        for (int f = 0; f < 4; ++f) EXPECT_EQ(d.fields[f], hex(expected[f])) << "field " << f;
    }
}

std::u16string text16(const WChar* w) { return w ? std::u16string(w) : u"(none)"; }

// The tooltip's and the page's texts, and where each value came from.
TEST(JarMetadata, TooltipPageAndSources) {
    struct Row {
        const char* jar;
        std::u16string tooltip;
        std::u16string page;  // the three fields, then the items, "|" between
    } rows[] = {
        {"osgi-bundle.jar", u"Beispielwerkzeug 1.2.3.v20260101\r\nZeigt, wie \u00fcbersetzt wird\r\nExample Org",
         u"1.2.3.v20260101|Beispielwerkzeug|(c) Example|Manifest-Version=1.0|Bundle-ManifestVersion=2|"
         u"Bundle-SymbolicName=org.example.tool;singleton:=true|Bundle-Name=%bundle.name|Bundle-Vendor=%bundle.vendor|"
         u"Bundle-Version=1.2.3.v20260101|Bundle-Description=%bundle.description|Bundle-Copyright=%copyright|"
         u"Bundle-Localization=OSGI-INF/l10n/bundle"},
        {"tool-all-2.0.jar", u"tool-all 2.0.1\r\nExample Org",
         u"2.0.1|tool-all|Example Org|Manifest-Version=1.0|Created-By=Maven|Implementation-Vendor=Example Org|"
         u"Maven=org.example:tool-all:2.0.1"},
        {"module-only.jar", u"org.example.mod 3.1",
         u"3.1|org.example.mod|(none)|Manifest-Version=1.0|Created-By=17 (javac)|Module=org.example.mod@3.1"},
        {"long-title.jar", std::u16string(255, u'T') + u"\u2026\r\nVendor with a tab", u""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.jar);
        CountedArchiveFile source(fixturePath(std::string("metadata/") + row.jar).c_str());
        JarMetadata metadata;
        ASSERT_TRUE(readJarMetadata(source, {row.jar, "de_DE", kMetadataForPage}, &metadata));
        WChar* tip = derivedTooltip(metadata);
        EXPECT_EQ(text16(tip), row.tooltip);
        coreFree(tip);
        DerivedPage page;
        ASSERT_TRUE(derivedPage(metadata, &page));
        std::u16string shown =
            text16(page.fileVersion) + u"|" + text16(page.description) + u"|" + text16(page.copyright);
        for (WChar** item = page.items; *item; ++item) shown += u"|" + text16(*item);
        if (!row.page.empty()) EXPECT_EQ(shown, row.page);
        freeDerivedPage(&page);
    }
    // Sources: a translation names its file and line, a header its line.
    CountedArchiveFile source(fixturePath("metadata/osgi-bundle.jar").c_str());
    JarMetadata metadata;
    ASSERT_TRUE(readJarMetadata(source, {"osgi-bundle.jar", "de_AT", kMetadataForTooltip}, &metadata));
    const MetadataSource& name = metadata.value(kJarName).source;
    EXPECT_STREQ(name.member, "OSGI-INF/l10n/bundle_de_AT.properties");
    EXPECT_EQ(name.line, 1u);
    EXPECT_STREQ(name.key, "bundle.name");
    const MetadataSource& version = metadata.value(kJarVersion).source;
    EXPECT_STREQ(version.member, MEMBER_MANIFEST);
    EXPECT_EQ(version.line, 6u);
    EXPECT_STREQ(version.key, "Bundle-Version");
}

// The shell-meta-inf members come from the same walk, first as always.
TEST(JarMetadata, ShellMembersThroughTheSameWalk) {
    CountedArchiveFile source(fixturePath("metadata/shell.jar").c_str());
    JarReader reader(source);
    ASSERT_TRUE(reader.open());
    MemberBuffer buffer;
    ASSERT_EQ(reader.readShellMember(kShellDescription, &buffer), kMemberRead);
    EXPECT_EQ(std::string(buffer.data, buffer.length), "default=Shell description\n");
    freeArchiveMember(&buffer);
    EXPECT_EQ(reader.readShellMember(kShellIcon, &buffer), kMemberAbsent);
    JarMetadata metadata;
    ASSERT_TRUE(reader.readMetadata({"shell.jar", "en_US", kMetadataForTooltip}, &metadata));
    EXPECT_STREQ(metadata.text(kJarName), "Standard Name");
    EXPECT_LE(source.reads, 1) << "a small jar is read whole by its first read";
}

// Every allocation made to fail in turn: no metadata, or all of it.
TEST(JarMetadata, AllocationFailureSweep) {
    for (const char* jar : {"osgi-bundle.jar", "tool-all-2.0.jar", "multi-release.jar"}) {
        std::ifstream in(fixturePath(std::string("metadata/") + jar), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        auto tooltip = [&](bool* present) {
            MemorySource source(bytes.data(), bytes.size());
            JarMetadata metadata;
            *present = readJarMetadata(source, {jar, "de_DE", kMetadataForPage}, &metadata);
            WChar* tip = derivedTooltip(metadata);
            std::u16string text = text16(tip);
            coreFree(tip);
            return text;
        };
        bool present = false;
        const std::u16string full = tooltip(&present);
        ASSERT_TRUE(present) << jar;
        long points = sweepAllocationFailures([&] {
            bool got = false;
            std::u16string text = tooltip(&got);
            // Without memory for the tooltip itself there is no tooltip.
            return text == u"(none)" || (got && text == full);
        });
        EXPECT_GT(points, 10) << jar;
    }
}

}  // namespace
