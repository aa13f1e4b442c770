// The tooltip: the description member's lines and the line each locale gets,
// chosen and decoded by the extension's own lookup.
#include <cstdio>
#include <cstring>
#include <set>

#include "Report.h"
#include "MemberText.h"
#include "base/Holder.h"
#include "infotip/Description.h"
#include "text/LocaleNames.h"

namespace {

const char* ruleName(DescriptionRule rule) {
    switch (rule) {
        case kLocaleKeyLine:
            return "own key";
        case kLanguageKeyLine:
            return "language key";
        case kDefaultKeyLine:
            return "default";
        default:
            return "none";
    }
}

// The locale identifier that gives the name, or null for a name of no locale.
Json lcidOf(const std::string& name) {
    const LocaleName* entry = findLocaleByName(name.c_str());
    if (!entry) return nullptr;
    char text[8];
    snprintf(text, sizeof text, "0x%04X", entry->languageId);
    return text;
}

// The key an author most likely meant: blanks trimmed, "-" for "_", the
// language in lower and the country in upper case.
std::string likelyKey(const std::string& key) {
    size_t first = key.find_first_not_of(" \t");
    size_t last = key.find_last_not_of(" \t");
    if (first == std::string::npos) return "";
    std::string meant = lowerAscii(key.substr(first, last - first + 1));
    for (size_t i = 0; i < meant.size(); ++i) {
        if (meant[i] == '-') meant[i] = '_';
        bool country = meant.size() >= 5 && i >= 3 && i < 5 && meant[2] == '_';
        if (country && meant[i] >= 'a' && meant[i] <= 'z') meant[i] = char(meant[i] - 'a' + 'A');
    }
    return meant;
}

void checkKey(Json& report, const std::string& where, const std::string& key) {
    if (isDescriptionKeyReachable(key.data(), key.size())) return;
    std::string meant = likelyKey(key);
    std::string hint = isDescriptionKeyReachable(meant.data(), meant.size()) ? ": write " + meant + "=" : "";
    addProblem(report, where, "key \"" + shownBytes(key.data(), key.size()) + "\" matches no locale",
               "keys are locale names such as de_AT, a language such as de, or default, in exactly that case" +
                   hint);
}

void listLines(const std::vector<MemberLine>& lines, Json& section, Json& report) {
    Json listed = Json::array();
    std::map<std::string, int> firstOfKey;
    for (const MemberLine& line : lines) {
        std::string where = lineWhere(MEMBER_DESCRIPTION, line.number);
        Json shown = {{"line", line.number}};
        const char* equals = static_cast<const char*>(std::memchr(line.start, '=', line.length));
        if (!equals) {
            shown["raw"] = shownBytes(line.start, line.length);
            shown["note"] = "no key";
            addProblem(report, where, "has no \"=\"", "a line without a key is never shown");
            if (listed.size() < kLinesListed) listed.push_back(shown);
            continue;
        }
        std::string key(line.start, size_t(equals - line.start));
        shown["key"] = shownBytes(key.data(), key.size());
        CorePtr<WChar> text(decodeDescriptionLine(line.start, line.length, TIP_LINE_BREAK));
        if (text) {
            shown["text"] = utf8Of(text.get());
        } else {
            shown["raw"] = shownBytes(equals + 1, line.length - size_t(equals + 1 - line.start));
            shown["note"] = "not UTF-8";
            addProblem(report, where, "is not UTF-8", "a locale that gets this line has no tooltip at all");
        }
        if (listed.size() < kLinesListed) listed.push_back(shown);
        // A byte-order mark has its own report; the key it spoils needs none.
        bool spoiledByMark = &line == &lines.front() && startsWithByteOrderMark(line.start, line.length);
        if (!spoiledByMark) checkKey(report, where, key);
        // Only keys that some locale can match: a hostile member cannot make the map grow.
        if (!isDescriptionKeyReachable(key.data(), key.size())) continue;
        auto [first, isNew] = firstOfKey.emplace(key, line.number);
        if (!isNew)
            addProblem(report, where, "repeats the key " + shown["key"].get<std::string>() + "= of line " +
                                          std::to_string(first->second),
                       "the first line with a key wins: this one is never shown");
    }
    section["lines"] = listed;
    if (lines.size() > listed.size()) section["linesNotListed"] = lines.size() - listed.size();
    if (firstOfKey.count("default") == 0)
        addProblem(report, MEMBER_DESCRIPTION, "has no default= line",
                   "users whose locale has no line of its own get no tooltip at all");
}

}  // namespace

void inspectTooltip(const Jar& jar, const Options& options, Json& report) {
    Json section = Json::object();
    JarMember member(jar, MEMBER_DESCRIPTION, section, report);
    std::vector<MemberLine> lines;
    if (member.present()) {
        if (startsWithByteOrderMark(member.data(), member.length()))
            addProblem(report, lineWhere(MEMBER_DESCRIPTION, 1), "starts with a UTF-8 byte-order mark",
                       "the mark becomes part of the first key, which then matches no locale");
        lines = memberLines(member.data(), member.length());
        listLines(lines, section, report);
    }
    Json locales = Json::array();
    for (const LocaleRequest& locale : options.locales) {
        const char* name = locale.name.c_str();
        DescriptionChoice choice = member.present() ? chooseDescriptionLine(member.data(), member.length(), name)
                                                    : DescriptionChoice{kNoDescriptionLine, nullptr, 0};
        CorePtr<WChar> tip(member.present() ? describeFromText(member.data(), member.length(), name, TIP_LINE_BREAK)
                                            : nullptr);
        Json row = {{"locale", locale.name}, {"lcid", lcidOf(locale.name)}, {"own", locale.own}};
        if (!locale.asked.empty()) row["asked"] = locale.asked;
        row["rule"] = ruleName(choice.rule);
        row["line"] = choice.line ? Json(lineNumberAt(lines, choice.line)) : Json(nullptr);
        // Without a line for the locale the tooltip comes from the jar's
        // standard metadata, as the extension makes it.
        if (!tip) {
            tip.reset(readTooltip(jar.path.c_str(), name, TIP_LINE_BREAK, true));
            if (tip) row["rule"] = "derived";
        }
        row["tooltip"] = tip ? Json(utf8Of(tip.get())) : Json(nullptr);
        locales.push_back(row);
    }
    section["locales"] = locales;
    report["tooltip"] = section;
}
