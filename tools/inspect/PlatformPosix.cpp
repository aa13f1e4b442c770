// The inspect tool on Linux and other POSIX systems.
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "Platform.h"
#include "infotip/Description.h"
#include "text/LocaleNames.h"
#include "text/TextConvert.h"

int main(int argc, char** argv) { return runInspect(argc, argv); }

std::string whyNotARegularFile(const std::string& path) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0)
        return errno == ENOENT ? "no such file" : std::string("cannot be read: ") + std::strerror(errno);
    if (S_ISREG(info.st_mode)) return "";
    if (S_ISDIR(info.st_mode)) return "a folder, not a jar";
    if (S_ISFIFO(info.st_mode)) return "a FIFO (named pipe), not a jar file";
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) return "a device, not a jar file";
    return "not a regular file";
}

bool shellPathOf(const std::string& path, std::string* shellPath) {
    std::error_code error;
    std::filesystem::path full = std::filesystem::absolute(path, error);
    *shellPath = error ? path : full.lexically_normal().string();
    return true;
}

WChar* pathToWide(const std::string& path) { return utf8ToWide(path.data(), path.size()); }

bool pathToSystemText(const std::string& path, std::string* systemText) {
    *systemText = path;
    return true;
}

WChar* systemTextToWide(const char* text) { return text ? utf8ToWide(text, std::strlen(text)) : nullptr; }

// In UTF-8 a 0x5C byte is always a whole backslash.
LeadByteTest systemLeadByteTest() { return nullptr; }

bool utf8ToSystemText(const std::string& utf8, std::string* systemText) {
    *systemText = utf8;
    return true;
}

std::string userLocaleName(std::string* how) {
    // The variables in the order in which they decide the messages' language.
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (!value || !*value) continue;
        *how = std::string(variable) + "=" + value;
        std::string name(value, std::strcspn(value, ".@"));
        // A Windows user of an unknown country gets the language's entry, as
        // the primary language fallback does there.
        if (findLocaleByName(name.c_str())) return name;
        std::string language = name.substr(0, 2);
        if (name.size() > 2 && findLocaleByName(language.c_str())) return language;
        return TIP_FALLBACK_LOCALE;
    }
    *how = "no locale set";
    return TIP_FALLBACK_LOCALE;
}

std::string tempFolderShown() { return "%TEMP%\\"; }

void prepareOutput() {}
