// The inspect tool as a Windows console program. The shell hands the
// extension a jar's full path as UTF-16, and the tool opens it the same way.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "MemberText.h"
#include "Platform.h"
#include "base/CoreAlloc.h"
#include "base/Holder.h"
#include "base/TextUnits.h"
#include "base/WinHolders.h"
#include "infotip/Description.h"
#include "text/LocaleNames.h"
#include "text/TextConvert.h"

namespace {

std::wstring wideOf(const std::string& utf8) {
    CorePtr<WChar> wide(utf8ToWide(utf8.data(), utf8.size()));
    return wide ? std::wstring(wide.get()) : std::wstring();
}

// Wide text -> the ANSI code page, refusing any character that would be
// replaced or approximated on the way.
bool wideToAnsi(const std::wstring& wide, std::string* ansi) {
    if (wide.empty()) {
        ansi->clear();
        return true;
    }
    BOOL replaced = FALSE;
    int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), int(wide.size()), nullptr, 0, nullptr,
                                &replaced);
    if (n <= 0 || replaced) return false;
    ansi->assign(size_t(n), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), int(wide.size()), &(*ansi)[0], n, nullptr,
                        &replaced);
    return !replaced;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> utf8;
    for (int i = 0; i < argc; ++i) utf8.push_back(utf8Of(argv[i]));
    std::vector<char*> args;
    for (std::string& a : utf8) args.push_back(&a[0]);
    args.push_back(nullptr);
    return runInspect(argc, args.data());
}

std::string whyNotARegularFile(const std::string& path) {
    std::wstring wide = wideOf(path);
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? "no such file" : "cannot be read";
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return "a folder, not a jar";
    FileHandle file(CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return "cannot be opened";
    DWORD type = GetFileType(file.get());
    if (type == FILE_TYPE_PIPE) return "a pipe, not a jar file";
    if (type != FILE_TYPE_DISK) return "a device, not a jar file";
    return "";
}

bool shellPathOf(const std::string& path, std::wstring* shellPath) {
    std::wstring wide = wideOf(path);
    DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (n == 0) return false;
    std::wstring full(n, L'\0');
    n = GetFullPathNameW(wide.c_str(), n, &full[0], nullptr);
    if (n == 0 || n >= full.size()) return false;
    full.resize(n);
    *shellPath = full;
    return true;
}

WChar* pathToWide(const std::wstring& path) {
    WChar* copy = coreAllocArray<WChar>(path.size() + 1);
    if (copy) memcpy(copy, path.c_str(), (path.size() + 1) * sizeof(WChar));
    return copy;
}

bool pathToSystemText(const std::wstring& path, std::string* systemText) { return wideToAnsi(path, systemText); }

WChar* systemTextToWide(const char* text) { return ansiToWide(text); }

LeadByteTest systemLeadByteTest() { return isAnsiLeadByte; }

bool utf8ToSystemText(const std::string& utf8, std::string* systemText) {
    return wideToAnsi(wideOf(utf8), systemText);
}

std::string userLocaleName(std::string* how) {
    char id[16];
    snprintf(id, sizeof id, "0x%04lX", static_cast<unsigned long>(GetThreadLocale()));
    *how = std::string("thread locale ") + id;
    CorePtr<char> name(::userLocaleName());
    return name ? std::string(name.get()) : std::string(TIP_FALLBACK_LOCALE);
}

std::string tempFolderShown() {
    wchar_t folder[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, folder);
    return n > 0 && n <= MAX_PATH ? utf8Of(folder) : std::string("%TEMP%\\");
}

void prepareOutput() {
    // UTF-8 bytes as they are: a console shows them in its UTF-8 code page,
    // a file or pipe gets them unchanged.
    SetConsoleOutputCP(CP_UTF8);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}
