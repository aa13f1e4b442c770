#include "win/DropTestSupport.h"

#include <shellapi.h>

#include <fstream>
#include <sstream>
#include <thread>

namespace {

const char kDotJar[] = ".jar";
const char kOpenCommand[] = "jarfile\\shell\\open\\command";
// Every key the association may create, parents first.
const char* const kAssociationKeys[] = {".jar", "jarfile", "jarfile\\shell", "jarfile\\shell\\open",
                                        "jarfile\\shell\\open\\command"};

std::optional<std::string> readDefaultValue(const std::string& key) {
    DWORD type = 0;
    std::string bytes;
    if (!queryRegistryValue(HKEY_CLASSES_ROOT, key, nullptr, &type, &bytes)) return std::nullopt;
    return std::string(bytes.c_str());
}

void restoreDefaultValue(const std::string& key, const std::optional<std::string>& value) {
    if (value)
        setRegistryString(HKEY_CLASSES_ROOT, key, nullptr, *value);
    else
        deleteRegistryValue(HKEY_CLASSES_ROOT, key, nullptr);
}

}  // namespace

// ---- .jar association -----------------------------------------------------------

JarAssociation::JarAssociation(const std::string& command)
    : dotJarDefault_(readDefaultValue(kDotJar)), commandDefault_(readDefaultValue(kOpenCommand)) {
    for (const char* key : kAssociationKeys)
        if (!registryKeyExists(HKEY_CLASSES_ROOT, key)) createdKeys_.push_back(key);
    if (command.empty()) {
        deleteRegistryValue(HKEY_CLASSES_ROOT, kDotJar, nullptr);
        deleteRegistryValue(HKEY_CLASSES_ROOT, kOpenCommand, nullptr);
        return;
    }
    setRegistryString(HKEY_CLASSES_ROOT, kDotJar, nullptr, "jarfile");
    setRegistryString(HKEY_CLASSES_ROOT, kOpenCommand, nullptr, command);
}

JarAssociation::~JarAssociation() {
    restoreDefaultValue(kDotJar, dotJarDefault_);
    restoreDefaultValue(kOpenCommand, commandDefault_);
    for (auto key = createdKeys_.rbegin(); key != createdKeys_.rend(); ++key)
        deleteRegistryTree(HKEY_CLASSES_ROOT, *key);
}

// ---- the recording program ------------------------------------------------------

std::string programFolder() {
    char path[MAX_PATH] = {};
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, n);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

std::string recorderPath() { return programFolder() + "drop_recorder.exe"; }
std::string recorderCommand() { return "\"" + recorderPath() + "\" \"%1\" %*"; }

CommandRecording::CommandRecording() {
    static int serial = 0;
    path_ = programFolder() + "drop-record-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(++serial) + ".bin";
    DeleteFileA(path_.c_str());
    SetEnvironmentVariableA("MORVANE_RECORDER_OUT", path_.c_str());
}

CommandRecording::~CommandRecording() {
    SetEnvironmentVariableA("MORVANE_RECORDER_OUT", nullptr);
    DeleteFileA(path_.c_str());
}

bool CommandRecording::recorded() const { return fileExists(path_); }

std::optional<std::wstring> CommandRecording::wait(std::chrono::milliseconds limit) const {
    auto deadline = std::chrono::steady_clock::now() + limit;
    // A command line is never empty: a read that finds the renamed file still
    // empty (seen once under Wine on a loaded machine) is tried again.
    std::string bytes;
    while (!recorded() || (bytes = readBinaryFile(path_)).empty()) {
        if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
}

std::vector<std::wstring> splitCommandLine(const std::wstring& commandLine) {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(commandLine.c_str(), &count);
    std::vector<std::wstring> args;
    for (int i = 0; argv && i < count; ++i) args.push_back(argv[i]);
    LocalFree(argv);
    return args;
}

// ---- files ------------------------------------------------------------------------

std::string tempFolder() {
    char path[MAX_PATH + 1] = {};
    DWORD n = GetTempPathA(sizeof(path), path);
    return std::string(path, n);
}

std::set<std::string> nameListFilesInTemp() {
    std::set<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((tempFolder() + "mor*.tmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do names.insert(found.cFileName);
    while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

std::string readBinaryFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool fileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

ScopedEnvironment::ScopedEnvironment(const char* name, const char* value) : name_(name) {
    char buffer[32768];
    DWORD n = GetEnvironmentVariableA(name, buffer, sizeof(buffer));
    if (n > 0 && n < sizeof(buffer)) old_ = std::string(buffer, n);
    SetEnvironmentVariableA(name, value);
}

ScopedEnvironment::~ScopedEnvironment() { SetEnvironmentVariableA(name_.c_str(), old_ ? old_->c_str() : nullptr); }

// ---- a data object with a watched medium ----------------------------------------

std::string dropBlockBytes(DWORD listOffset, BOOL wide, const std::string& list) {
    DROPFILES header = {};
    header.pFiles = listOffset;
    header.fWide = wide;
    return std::string(reinterpret_cast<const char*>(&header), sizeof(header)) + list;
}
