// The report as text a person reads at a glance, drawn from the JSON report.
#include <algorithm>

#include "Report.h"

namespace {

class Text {
public:
    std::string str() const { return out_; }
    Text& line(const std::string& text = "") {
        out_ += text + "\n";
        return *this;
    }
    // A row of columns; the last one may hold line breaks, which continue
    // below it at its column.
    void row(const std::string& indent, const std::vector<std::pair<std::string, size_t>>& columns,
             const std::string& last) {
        std::string head = indent;
        for (const auto& [text, width] : columns) head += pad(text, width) + "  ";
        std::string rest = last;
        for (size_t at; (at = rest.find('\n')) != std::string::npos;) {
            std::string part = rest.substr(0, at);
            if (!part.empty() && part.back() == '\r') part.pop_back();
            line(head + part);
            head = std::string(displayWidth(head), ' ');
            rest = rest.substr(at + 1);
        }
        line(head + rest);
    }
    static std::string pad(const std::string& text, size_t width) {
        size_t shown = displayWidth(text);
        return shown >= width ? text : text + std::string(width - shown, ' ');
    }

private:
    // Characters, not bytes, so that UTF-8 text lines up.
    static size_t displayWidth(const std::string& text) {
        return size_t(std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
    }
    std::string out_;
};

std::string counted(size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string str(const Json& value) {
    if (value.is_string()) return value.get<std::string>();
    if (value.is_null()) return "-";
    return value.dump();
}

// The member's state when it gives nothing to show; empty when it was read.
std::string memberNote(const Json& member) {
    std::string name = member["name"].get<std::string>();
    std::string state = member["state"].get<std::string>();
    if (state == "read") return "";
    if (state == "absent") return "no " + name;
    if (state == "empty") return name + " is empty";
    return name + " cannot be read: it " + str(member["reason"]);
}

void metadata(Text& t, const Json& section) {
    t.line("Standard metadata (manifest " + str(section["manifest"]) + "), for the locale " + str(section["locale"]) +
           ":");
    for (const auto& [field, value] : section["values"].items())
        t.row("  ", {{field, 12}}, value.is_null() ? "(none)" : str(value["value"]) + "   (" + str(value["source"]) + ")");
    if (!section["maven"].is_null()) t.row("  ", {{"Maven", 12}}, str(section["maven"]));
    if (!section["module"].is_null()) t.row("  ", {{"Module", 12}}, str(section["module"]));
}

void tooltip(Text& t, const Json& section) {
    std::string note = memberNote(section["member"]);
    bool anyTip = false;
    for (const Json& l : section["locales"]) anyTip |= !l["tooltip"].is_null();
    if (!note.empty() && !anyTip) {
        t.line("Tooltip: none (" + note + ", and no name in the standard metadata)");
        return;
    }
    if (!note.empty())
        t.line("Tooltip: from the standard metadata (" + note + ")");
    else
        t.line("Tooltip: " + str(section["member"]["name"]) + ", " + counted(section["lines"].size() + section.value("linesNotListed", size_t(0)), "line", "lines"));
    if (section.contains("lines"))
        for (const Json& l : section["lines"])
            t.row("  ", {{"line " + str(l["line"]), 8}, {l.contains("key") ? str(l["key"]) + "=" : "", 8}},
                  l.contains("text") ? str(l["text"]) : str(l["raw"]) + "   (" + str(l["note"]) + ")");
    if (section.contains("linesNotListed")) t.line("  and " + str(section["linesNotListed"]) + " more lines");
    t.row("  ", {{"locale", 22}, {"rule", 12}, {"line", 4}}, "tooltip");
    std::vector<std::string> notes;
    for (const Json& l : section["locales"]) {
        std::string who = str(l["locale"]) + (l["lcid"].is_null() ? "" : " " + str(l["lcid"]));
        if (l["own"].get<bool>()) who += " (yours)";
        if (l.contains("asked"))
            notes.push_back(str(l["locale"]) + (l["own"].get<bool>() ? " is yours, from " : ": ") + str(l["asked"]));
        t.row("  ", {{who, 22}, {str(l["rule"]), 12}, {str(l["line"]), 4}},
              l["tooltip"].is_null() ? "(no tooltip)" : str(l["tooltip"]));
    }
    for (const std::string& note : notes) t.line("  " + note);
}

void icon(Text& t, const Json& section) {
    std::string note = memberNote(section["member"]);
    if (section.contains("descriptorIcon")) {
        t.line("Icon: from the mod's descriptor (" + note + ")");
        for (const Json& i : section["descriptorIcon"]["icons"])
            t.row("  ", {{str(i["member"]), 34}, {i["image"].is_null() ? "(no PNG)" : str(i["image"]), 10}},
                  i["usable"].get<bool>() ? "usable" : "not used: over 1 MiB, over 1024 pixels or wider than 2:1");
        for (const Json& r : section["descriptorIcon"]["requests"])
            t.row("    ", {{str(r["size"]), 4}, {str(r["use"]), 26}},
                  (r["member"].is_null() ? std::string("no icon from the descriptor") : str(r["member"])) +
                      (r.contains("file") ? "   -> " + str(r["file"]) : ""));
        return;
    }
    if (!note.empty()) {
        t.line("Icon: none of its own (" + note + ")");
        return;
    }
    if (!section.contains("entries")) {
        t.line("Icon: none of its own (" + str(section["member"]["name"]) + " is not an icon file)");
        return;
    }
    t.line("Icon: " + str(section["member"]["name"]) + ", " + counted(section["entries"].size(), "entry", "entries"));
    t.row("  ", {{"entry", 5}, {"width", 5}, {"depth", 6}, {"format", 6}, {"bytes", 7}}, "shown as");
    for (const Json& e : section["entries"]) {
        std::string shown = e["usable"].get<bool>() ? str(e["shownAs"]) : "no icon: the image is unusable";
        if (e.contains("file")) shown += "   -> " + str(e["file"]);
        t.row("  ", {{str(e["entry"]), 5}, {str(e["width"]), 5}, {str(e["depth"]) + " bpp", 6}, {str(e["format"]), 6},
                     {str(e["bytes"]), 7}},
              shown);
    }
    const Json& requests = section["requests"];
    // The column heads: which Windows asks for which depth.
    auto head = [&](size_t i) {
        return i < requests.size() ? str(requests[i]["windows"]) + ", " + str(requests[i]["depth"]) + " bpp" : "";
    };
    t.row("  ", {{"size", 4}, {"asked for", 26}, {head(0), 26}}, head(1));
    for (size_t i = 0; i + 1 < requests.size(); i += 2) {
        auto choice = [](const Json& r) { return "entry " + str(r["entry"]) + ", " + str(r["shownAs"]); };
        t.row("  ", {{str(requests[i]["size"]), 4}, {str(requests[i]["use"]), 26}, {choice(requests[i]), 26}},
              choice(requests[i + 1]));
    }
}

void versionPage(Text& t, const Json& section) {
    std::string note = memberNote(section["member"]);
    if (section.value("derived", false)) {
        t.line("Version page: from the standard metadata (" + note + ")");
        for (const auto& [label, field] : section["fields"].items())
            t.row("  ", {{label, 14}}, field.is_null() ? "(empty)" : str(field["value"]));
        for (const Json& r : section["rows"]) t.row("    ", {{str(r["name"]), 22}}, str(r["value"]));
        return;
    }
    if (!note.empty() || !section["shown"].get<bool>()) {
        t.line("Version page: none (" + (note.empty() ? "no line of the member can be shown" : note) + ")");
        return;
    }
    t.line("Version page: " + str(section["member"]["name"]) + ", " + counted(section["rows"].size() + section.value("rowsNotListed", size_t(0)), "row", "rows"));
    for (const auto& [label, field] : section["fields"].items())
        t.row("  ", {{label, 14}}, field.is_null() ? "(empty)" : str(field["value"]) + "   (line " + str(field["line"]) + ")");
    t.line("  rows, in the order the list shows them:");
    // A byte-order mark before a name is invisible, and it is why the name fills no field.
    auto shownName = [](std::string name) {
        return name.rfind("\xEF\xBB\xBF", 0) == 0 ? "<byte-order mark>" + name.substr(3) : name;
    };
    for (const Json& r : section["rows"])
        t.row("    ", {{"line " + str(r["line"]), 8}, {shownName(str(r["name"])), 14}},
              r["value"].is_null() ? "(no value)" : str(r["value"]));
    if (section.contains("rowsNotListed")) t.line("    and " + str(section["rowsNotListed"]) + " more rows");
}

void drop(Text& t, const Json& section) {
    std::string note = memberNote(section["member"]);
    bool list = section["namesInListFile"].get<bool>();
    t.line("Drop: " + std::string(list ? "the names go into a name list file" : "the names come on the command line") +
           " (" + (note.empty() ? str(section["member"]["name"]) + " read" : note) + ")");
    std::string names;
    for (const Json& n : section["names"]) names += (names.empty() ? "" : ", ") + str(n);
    t.line("  a drop of " + names + " gives the parameters");
    t.line("    [" + str(section["parameters"]) + "]");
    if (section.contains("ansiParameters"))
        t.line(section["ansiParameters"].is_null() ? "  a drop in ANSI text cannot carry these names"
                                                    : "  and in ANSI text [" + str(section["ansiParameters"]) + "]");
    if (list) {
        t.line("  the list file " + str(section["listFile"]) + " holds:");
        for (const Json& r : section["listFileRecords"])
            t.row("    ", {{str(r["bytes"]) + " bytes", 10}}, str(r["name"]));
    }
}

}  // namespace

std::string reportText(const Json& report, bool check) {
    Text t;
    t.line("== " + str(report["path"]) + " (" + counted(report["archive"]["entries"].get<size_t>(), "entry", "entries") +
           ")");
    metadata(t, report["metadata"]);
    tooltip(t, report["tooltip"]);
    icon(t, report["icon"]);
    versionPage(t, report["versionPage"]);
    drop(t, report["drop"]);
    if (check) {
        const Json& problems = report["problems"];
        t.line(problems.empty() ? "Check: nothing to report"
                                : "Check: " + std::to_string(problems.size()) + " problem" +
                                      (problems.size() == 1 ? "" : "s"));
        for (const Json& p : problems) t.line("  " + str(p["where"]) + ": " + str(p["problem"]) + " (" + str(p["why"]) + ")");
    }
    return t.line().str();
}
