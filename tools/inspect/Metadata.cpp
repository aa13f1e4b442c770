// The standard metadata: the name, version, vendor, description and copyright
// a jar carries in its manifest, OSGi translations, pom and module descriptor,
// each with where it came from, read by the extension's own code; with
// --check, what keeps a jar from showing them.
#include <cstring>

#include "Report.h"
#include "MemberText.h"
#include "base/Holder.h"
#include "metadata/JarMetadata.h"
#include "metadata/Manifest.h"

namespace {

const char* const kFieldNames[] = {"name", "version", "vendor", "description", "copyright", "authors"};
// The headers a value can come from: a placeholder in one of them is lost.
const char* const kValueHeaders[] = {"Bundle-Name", "Bundle-Version", "Bundle-Vendor", "Bundle-Description",
                                     "Bundle-Copyright", "Implementation-Title", "Implementation-Version",
                                     "Implementation-Vendor", "Specification-Title", "Specification-Version",
                                     "Specification-Vendor", "Automatic-Module-Name", "Bundle-SymbolicName"};
// The line length jar tools write, though the JVM reads 511 bytes.
constexpr size_t kWrittenLineLength = 72;

std::string sourceText(const MetadataSource& source) {
    std::string where = source.member ? source.member : "";
    if (source.line) where += ":" + std::to_string(source.line);
    if (source.key) where += (where.empty() ? "" : " ") + std::string(source.key);
    return where;
}

// The raw manifest: whether the JVM reads it, and the lines it holds longer
// than jar tools write them.
void checkManifest(const Jar& jar, Json& section, Json& report) {
    MetadataMember member(jar.path.c_str(), MEMBER_MANIFEST);
    if (!member.present()) {
        section["manifest"] = "absent";
        return;
    }
    std::string bytes(member.data(), member.length());
    Manifest manifest;
    bool read = manifest.read(&bytes[0], bytes.size());
    section["manifest"] = read ? "read" : "refused";
    if (!read && !manifest.outOfMemory())
        addProblem(report, MEMBER_MANIFEST, "is refused by the JVM's manifest reader",
                   "a byte-order mark, a header without \": \", a bad name or a line over 511 bytes makes the JVM "
                   "read nothing of it: no value comes from it");
    std::vector<MemberLine> lines = memberLines(member.data(), member.length());
    for (const MemberLine& line : lines)
        if (line.length > kWrittenLineLength)
            addProblem(report, lineWhere(MEMBER_MANIFEST, line.number),
                       "is " + std::to_string(line.length) + " bytes long",
                       "jar tools break manifest lines at 72 bytes; some readers refuse longer ones");
    if (!read) return;
    for (const char* header : kValueHeaders) {
        const ManifestAttribute* a = manifest.find(header);
        if (!a || !a->value) continue;
        std::string where = lineWhere(MEMBER_MANIFEST, a->line);
        if (isBuildPlaceholder(a->value, a->valueLength))
            addProblem(report, where, std::string(header) + " holds the placeholder \"" + a->value + "\"",
                       "the build did not fill it in: the value counts as absent");
    }
}

}  // namespace

void inspectMetadata(const Jar& jar, const Options& options, Json& report) {
    Json section = Json::object();
    checkManifest(jar, section, report);
    OpenJar open(jar.path.c_str());
    JarMetadata metadata;
    CorePtr<char> fileName(jarFileNameOf(jar.path.c_str()));
    std::string locale = options.locales.empty() ? "" : options.locales.back().name;
    JarMetadataRequest request = {fileName.get(), locale.empty() ? nullptr : locale.c_str(), kMetadataForPage};
    bool present = open.ready() && open.reader().readMetadata(request, &metadata);
    section["locale"] = locale;
    Json values = Json::object();
    for (int f = 0; f < kJarFieldCount; ++f) {
        const MetadataValue& v = metadata.value(JarField(f));
        values[kFieldNames[f]] = v.text ? Json{{"value", v.text}, {"source", sourceText(v.source)}} : Json(nullptr);
    }
    section["values"] = values;
    section["maven"] = present && metadata.maven() ? Json(metadata.maven()) : Json(nullptr);
    section["module"] = present && metadata.module() ? Json(metadata.module()) : Json(nullptr);
    // A Bundle-* header that names a translation the jar lacks.
    if (present)
        for (size_t i = 0; i < metadata.manifest().count(); ++i) {
            const ManifestAttribute& a = metadata.manifest().attribute(i);
            std::string name(a.name, a.nameLength);
            if (!a.value || a.value[0] != '%' || name.rfind("Bundle-", 0) != 0) continue;
            bool translated = false;
            for (int f = 0; f < kJarFieldCount; ++f) {
                const MetadataValue& v = metadata.value(JarField(f));
                translated |= v.text && v.source.key && lowerAscii(v.source.key) == lowerAscii(a.value + 1);
            }
            if (!translated)
                addProblem(report, lineWhere(MEMBER_MANIFEST, a.line), name + ": " + a.value + " has no translation",
                           "no localization file of the bundle has the key " + std::string(a.value + 1) +
                               ": the value counts as absent");
        }
    bool shellMembers = jar.members.count(MEMBER_DESCRIPTION) || jar.members.count(MEMBER_VERSION);
    if (!shellMembers && !(present && metadata.text(kJarName)))
        addProblem(report, "the jar", "names itself nowhere",
                   "without Implementation-Title, Bundle-Name, a pom or a module name it has no tooltip and no "
                   "Version page");
    else if (!shellMembers && !metadata.text(kJarVersion))
        addProblem(report, "the jar", "gives no version",
                   "add Implementation-Version (or Bundle-Version) to the manifest: the tooltip and the page show "
                   "none");
    report["metadata"] = section;
}
