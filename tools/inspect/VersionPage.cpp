// The Version page: the rows its list shows and the line that fills each of
// its three fields, from the extension's own version file reader.
#include "Report.h"
#include "MemberText.h"
#include "Platform.h"
#include "base/Holder.h"
#include "versionpage/VersionFile.h"
#include "versionpage/VersionPageIds.h"

namespace {

struct VersionListTraits {
    using Type = VersionList*;
    static Type invalid() { return nullptr; }
    static void close(Type list) { freeVersionList(&list); }
};
using VersionListHolder = Holder<VersionListTraits>;

const char* fieldLabel(VersionField field) {
    switch (field) {
        case kFileVersionField:
            return VERSION_LABEL_FILEVERSION;
        case kDescriptionField:
            return VERSION_LABEL_DESCRIPTION;
        default:
            return VERSION_LABEL_COPYRIGHT;
    }
}

// A name that differs from a well-known one only in letter case.
void checkName(Json& report, const std::string& where, const std::string& name) {
    for (VersionField field : kVersionFields) {
        std::string wellKnown = versionFieldName(field);
        if (name != wellKnown && lowerAscii(name) == lowerAscii(wellKnown))
            addProblem(report, where, "names \"" + name + "\"",
                       "only \"" + wellKnown + "\", in exactly that case, fills \"" + fieldLabel(field) + "\"");
    }
}

// The page made of the jar's standard metadata, as the extension makes it.
void inspectDerivedPage(const Jar& jar, Json& section) {
    VersionPageContent content;
    std::string how;
    std::string locale = userLocaleName(&how);
    bool shown = readVersionPage(jar.path.c_str(), locale.c_str(), true, &content) && content.derived;
    section["shown"] = shown;
    if (shown) {
        section["derived"] = true;
        Json fields = Json::object();
        for (size_t i = 0; i < 3; ++i)
            fields[fieldLabel(kVersionFields[i])] =
                content.fields[i] ? Json{{"value", utf8Of(content.fields[i])}} : Json(nullptr);
        Json rows = Json::array();
        for (VersionList* line = content.list; line && *line && rows.size() < kLinesListed; ++line) {
            VersionItem item = splitVersionLine(*line);
            rows.push_back({{"name", utf8Of(*line, item.nameLength)},
                            {"value", item.value ? Json(utf8Of(item.value)) : Json(nullptr)}});
        }
        section["fields"] = fields;
        section["rows"] = rows;
    }
    freeVersionPageContent(&content);
}

}  // namespace

void inspectVersionPage(const Jar& jar, Json& report) {
    Json section = Json::object();
    JarMember member(jar, MEMBER_VERSION, section, report);
    if (!member.present()) {
        inspectDerivedPage(jar, section);
        report["versionPage"] = section;
        return;
    }
    std::vector<MemberLine> lines = memberLines(member.data(), member.length());
    size_t memberLineCount = 0;
    VersionListHolder list(parseVersionList(member.data(), member.length(), &memberLineCount));
    size_t count = versionLineCount(list.get());
    if (startsWithByteOrderMark(member.data(), member.length()))
        addProblem(report, lineWhere(MEMBER_VERSION, 1), "starts with a UTF-8 byte-order mark",
                   "the mark becomes part of the first name, so \"Version\" there fills no field");
    if (list && count < memberLineCount)
        addProblem(report, lineWhere(MEMBER_VERSION, lines[count].number), "is not UTF-8",
                   "the page stops before it: this line and the " + std::to_string(memberLineCount - count - 1) +
                       " after it are not shown");
    section["shown"] = count > 0;
    if (list && count == 0)
        addProblem(report, MEMBER_VERSION, "has no line the page can show", "the jar has no Version page");

    auto row = [&](size_t i) {
        VersionItem item = splitVersionLine(list.get()[i]);
        return Json{{"line", lines[i].number},
                    {"name", utf8Of(list.get()[i], item.nameLength)},
                    {"value", item.value ? Json(utf8Of(item.value)) : Json(nullptr)}};
    };
    Json rows = Json::array();
    for (size_t i = 0; i < count; ++i) {
        Json shown = row(i);
        checkName(report, lineWhere(MEMBER_VERSION, lines[i].number), shown["name"]);
        if (rows.size() < kLinesListed) rows.push_back(shown);
    }
    if (count > rows.size()) section["rowsNotListed"] = count - rows.size();
    Json fields = Json::object();
    for (VersionField field : kVersionFields) {
        int line = versionFieldLine(list.get(), field);
        fields[fieldLabel(field)] = nullptr;
        if (line < 0) continue;
        Json filling = row(size_t(line));
        fields[fieldLabel(field)] = {{"line", filling["line"]}, {"value", filling["value"]}};
        // The name is the page's own: any other line with it stands before this one.
        for (int other = 0; other < line; ++other)
            if (versionFieldOf(list.get()[other], splitVersionLine(list.get()[other]).nameLength) == field)
                addProblem(report, lineWhere(MEMBER_VERSION, lines[size_t(other)].number),
                           "is overridden by line " + filling["line"].dump(),
                           "a name that fills a field should stand once: the later line fills it");
    }
    section["fields"] = fields;
    section["rows"] = rows;
    report["versionPage"] = section;
}
