// morvane-inspect [options] JAR...: the command line, and one report per jar.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Report.h"
#include "Platform.h"
#include "infotip/Description.h"
#include "text/LocaleNames.h"

namespace {

const char kUsage[] = R"(usage: morvane-inspect [options] JAR...

Shows what Windows with the Morvane shell extension shows for each jar,
worked out by the extension's own code, so it answers exactly as the
extension does, on any machine:

  Tooltip       the lines of shell-meta-inf/description and the line each of
                en_US de_DE de_AT fr_FR es_ES it_IT pt_BR ru_RU ja_JP zh_CN
                ko_KR and your own locale gets, with the rule that chose it:
                own key (de_AT=), language key (de=) or default (default=)
  Icon          the entries of shell-meta-inf/icons/icon.ico (width, colour
                depth, bitmap or PNG) and the entry the shell gets for each
                size it asks for, 16 to 256 pixels, at 32 and at 24 bits per
                pixel; an icon is shown at its image's own size
  Version page  the rows of shell-meta-inf/version in the order the page
                lists them, and the lines that fill its three fields
  Drop          whether shell-meta-inf/startoptions asks for a name list
                file, and the parameters the program gets for a drop

options:
  --check              also list the problems a jar's author can fix, one a
                       line: where it is, what it is, and why it matters
  --json               the report as JSON, one object for all jars
  --locale NAME        the tooltip for this locale name only (de_AT)
  --lcid ID            the tooltip for this Windows locale identifier only
                       (0x0C07), named as the extension names it
  --drop NAME          a dropped file for the parameters; repeat it for more
                       (without it: C:\data\a.txt and C:\data\b c.txt)
  --extract-icons DIR  write each entry the shell gets into DIR as an icon
                       file of its own (JAR-entryN.ico)
  --help               this text

exit status: 0 nothing to report, 1 --check found problems, 2 a jar could not
be read at all (no such file, a folder, a FIFO or device, not a zip archive,
a damaged directory). Each jar that cannot be read gets one line on stderr;
the others are still reported.

example, a build step that fails on problems in the jar's metadata:
  mvn package && morvane-inspect --check target/app-1.0.jar
)";

const char* const kCommonLocales[] = {"en_US", "de_DE", "de_AT", "fr_FR", "es_ES", "it_IT",
                                      "pt_BR", "ru_RU", "ja_JP", "zh_CN", "ko_KR"};

constexpr int kExitProblems = 1;
constexpr int kExitUnreadable = 2;

bool localeFromLcid(const std::string& text, LocaleRequest* locale) {
    char* end = nullptr;
    unsigned long id = std::strtoul(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0' || id == 0 || id > 0xFFFFFFFFul) return false;
    const char* name = findLocaleName(uint32_t(id));
    locale->name = name ? name : TIP_FALLBACK_LOCALE;
    locale->asked = "--lcid " + text + (name ? "" : ", not in the locale table");
    return true;
}

// False with a message for a command line that asks for nothing sensible.
bool parseOptions(int argc, char** argv, Options* options, bool* help, std::string* error) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= argc) return false;
            *out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            *help = true;
        } else if (a == "--check") {
            options->check = true;
        } else if (a == "--json") {
            options->json = true;
        } else if (a == "--locale" && value(&v) && !v.empty()) {
            options->locales.push_back({v, findLocaleByName(v.c_str()) ? "" : "--locale, no Windows locale has it"});
        } else if (a == "--lcid" && value(&v)) {
            LocaleRequest locale;
            if (!localeFromLcid(v, &locale)) return *error = "--lcid takes a locale identifier such as 0x0C07", false;
            options->locales.push_back(locale);
        } else if (a == "--drop" && value(&v) && !v.empty()) {
            options->dropNames.push_back(v);
        } else if (a == "--extract-icons" && value(&v) && !v.empty()) {
            options->extractDir = v;
        } else if (a.size() > 1 && a[0] == '-') {
            return *error = "unknown option or missing value: " + a, false;
        } else {
            options->jars.push_back(a);
        }
    }
    if (!*help && options->jars.empty()) return *error = "no jar given", false;
    return true;
}

std::string baseNameOf(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// The report of one jar; false with the reason when it cannot be read at all.
bool inspectJar(const std::string& path, const Options& options, Json* report, std::string* error) {
    *error = whyNotARegularFile(path);
    if (!error->empty()) return false;
    Jar jar;
    jar.shownPath = path;
    jar.baseName = baseNameOf(path);
    if (!shellPathOf(path, &jar.path)) {
        *error = "its path cannot be made a full path";
        return false;
    }
    Json r = {{"path", path}};
    r["problems"] = Json::array();
    if (!inspectArchive(jar, r, error)) return false;
    inspectMetadata(jar, options, r);
    inspectTooltip(jar, options, r);
    inspectIcon(jar, options, r);
    inspectVersionPage(jar, r);
    inspectDrop(jar, options, r);
    // The problems close the report.
    Json problems = std::move(r["problems"]);
    r.erase("problems");
    if (r.contains("problemsNotListed"))
        problems.push_back({{"where", "the jar"},
                            {"problem", r["problemsNotListed"].dump() + " more problems, not listed"},
                            {"why", "fix the ones above first"}});
    r.erase("problemsNotListed");
    if (options.check) r["problems"] = std::move(problems);
    *report = std::move(r);
    return true;
}

void print(const std::string& text) { fwrite(text.data(), 1, text.size(), stdout); }

}  // namespace

void addProblem(Json& report, const std::string& where, const std::string& what, const std::string& why) {
    Json& problems = report["problems"];
    if (problems.size() < kProblemsListed)
        problems.push_back({{"where", where}, {"problem", what}, {"why", why}});
    else
        report["problemsNotListed"] = report.value("problemsNotListed", 0) + 1;
}

int runInspect(int argc, char** argv) {
    prepareOutput();
    Options options;
    bool help = false;
    std::string error;
    if (!parseOptions(argc, argv, &options, &help, &error)) {
        fprintf(stderr, "morvane-inspect: %s (morvane-inspect --help explains the options)\n", error.c_str());
        return kExitUnreadable;
    }
    if (help) {
        print(kUsage);
        return 0;
    }
    if (options.locales.empty()) {
        for (const char* name : kCommonLocales) options.locales.push_back({name, "", false});
        LocaleRequest own;
        own.name = userLocaleName(&own.asked);
        own.own = true;
        options.locales.push_back(own);
    }
    int status = 0;
    Json reports = Json::array();
    for (const std::string& path : options.jars) {
        Json report;
        bool read = false;
        try {
            read = inspectJar(path, options, &report, &error);
        } catch (const std::exception& e) {
            error = std::string("could not be inspected: ") + e.what();
        }
        if (!read) {
            fprintf(stderr, "morvane-inspect: %s: %s\n", path.c_str(), error.c_str());
            status = kExitUnreadable;
            reports.push_back({{"path", path}, {"error", error}});
            continue;
        }
        if (options.check && !report["problems"].empty() && status == 0) status = kExitProblems;
        if (options.json)
            reports.push_back(std::move(report));
        else
            print(reportText(report, options.check));
    }
    // Names in a jar need not be UTF-8; the report shows them as they are.
    if (options.json)
        print(Json({{"jars", reports}, {"exitStatus", status}}).dump(2, ' ', false, Json::error_handler_t::replace) +
              "\n");
    fflush(stdout);
    return status;
}
