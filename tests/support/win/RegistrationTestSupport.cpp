#include "win/RegistrationTestSupport.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <cstdio>

#include "base/WinHolders.h"
#include "registration/SelfRegistration.h"
#include "win/DropTestSupport.h"

RegValue szValue(const std::string& text) {
    RegValue v;
    v.type = REG_SZ;
    v.bytes = text;
    v.bytes.push_back('\0');
    return v;
}

bool readValue(HKEY root, const std::string& key, const char* name, RegValue* value) {
    return queryRegistryValue(root, key, name, &value->type, &value->bytes);
}

void writeValue(HKEY root, const std::string& key, const char* name, const RegValue& value) {
    // A byte other than NUL after the data, so that the registry stores a
    // string without terminator as it is instead of adding one.
    std::string buffer = value.bytes + "X";
    setRegistryValue(root, key, name, value.type, buffer.data(), DWORD(value.bytes.size()));
}

std::string describe(const RegValue& value) {
    std::string out = value.type == REG_SZ          ? "REG_SZ"
                      : value.type == REG_EXPAND_SZ ? "REG_EXPAND_SZ"
                                                    : "type " + std::to_string(value.type);
    out += " [";
    for (unsigned char c : value.bytes) {
        char hex[8];
        if (c >= 0x20 && c < 0x7F) {
            out += char(c);
        } else {
            snprintf(hex, sizeof(hex), "\\x%02X", c);
            out += hex;
        }
    }
    return out + "]";
}

namespace {
const char kJavaIcon[] = "%ProgramFiles%\\Java\\jre\\bin\\javaw.exe,0";
}  // namespace
const RegValue kFormerIcon = {REG_EXPAND_SZ, std::string(kJavaIcon, sizeof(kJavaIcon))};

RegKey openInView(HKEY root, const char* path, REGSAM view) {
    RegKey key;
    RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS | view, key.put());
    return key;
}

void readTree(HKEY root, const std::string& path, const std::string& label, RegistryTree* tree) {
    RegKey key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
    (*tree)[label + "\\"] = RegValue();
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof(name);
        if (RegEnumValueA(key.get(), i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        readValue(key.get(), "", name, &(*tree)[label + "\\[" + name + "]"]);
    }
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof(name);
        if (RegEnumKeyExA(key.get(), i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        readTree(key.get(), name, label + "\\" + name, tree);
    }
}

RegistryTree viewTree(REGSAM view) {
    RegistryTree tree;
    readTree(openInView(HKEY_CLASSES_ROOT, "CLSID", view).get(), CLSID_JARICON_TEXT, "class", &tree);
    RegValue approval;
    if (readValue(openInView(HKEY_LOCAL_MACHINE, APPROVED_KEY_PATH, view).get(), "", CLSID_JARICON_TEXT, &approval))
        tree["approved"] = approval;
    // The property handler's class and the extension's handler entry.
    readTree(openInView(HKEY_CLASSES_ROOT, "CLSID", view).get(), CLSID_JARPROPERTIES_TEXT, "properties", &tree);
    readTree(openInView(HKEY_LOCAL_MACHINE, PROPERTY_HANDLERS_KEY_PATH, view).get(), ".jar", "handler", &tree);
    return tree;
}

RegistryTree registeredView(const std::string& dll) {
    return {{"class\\", {}},
            {"class\\[]", szValue(REG_TEST_DESCRIPTION)},
            {"class\\config\\", {}},
            {"class\\config\\[DefaultIcon]", szValue("")},
            {"class\\InProcServer32\\", {}},
            {"class\\InProcServer32\\[]", szValue(dll)},
            {"class\\InProcServer32\\[ThreadingModel]", szValue("Apartment")},
            {"approved", szValue(REG_TEST_DESCRIPTION)},
            {"properties\\", {}},
            {"properties\\[]", szValue(PROPERTIES_DESCRIPTION)},
            {"properties\\InProcServer32\\", {}},
            {"properties\\InProcServer32\\[]", szValue(dll)},
            {"properties\\InProcServer32\\[ThreadingModel]", szValue("Both")},
            {"handler\\", {}},
            {"handler\\[]", szValue(CLSID_JARPROPERTIES_TEXT)}};
}

RegistryTree fileTypeTree() {
    RegistryTree tree;
    readTree(HKEY_CLASSES_ROOT, "jarfile", "jarfile", &tree);
    return tree;
}

RegistryTree fileType(bool registered) {
    RegistryTree tree = {{"jarfile\\", {}}, {"jarfile\\DefaultIcon\\", {}}};
    if (!registered) {
        tree["jarfile\\DefaultIcon\\[]"] = kFormerIcon;
        // The intermediate keys stay after unregistration.
        tree["jarfile\\shellex\\"] = tree["jarfile\\shellex\\PropertySheetHandlers\\"] = RegValue();
        return tree;
    }
    tree["jarfile\\DefaultIcon\\[]"] = szValue("%1");
    tree["jarfile\\DefaultIcon\\[" SAVED_ICON_VALUE "]"] = kFormerIcon;
    for (const char* handler : kHandlerKeys) {
        std::string key = std::string("jarfile\\") + handler;
        for (size_t at = key.find('\\'); at != std::string::npos; at = key.find('\\', at + 1))
            tree[key.substr(0, at + 1)] = RegValue();
        tree[key + "\\"] = RegValue();
        tree[key + "\\[]"] = szValue(CLSID_JARICON_TEXT);
    }
    return tree;
}

void expectShellHostServes(const std::string& shellHost, const char* label) {
    const struct {
        const char* command;
        std::vector<const char*> shows;
    } checks[] = {
        {"icon", {"large  32x32", "stage 1, the jar's icon.ico entry 1 (32x32", "entry 0 (16x16"}},
        {"tip", {"Hello: greets every file you drop onto it"}},
        // The shell's own property sheet finds the page through the
        // shared handler keys.
        {"version --shell", {"File version:  1.0.0", "Copyright:     (C) 2026 The Morvane developers"}},
    };
    for (const auto& check : checks) {
        std::string output;
        EXPECT_EQ(runProgram(quoted(shellHost) + " --registered " + check.command + " " +
                                 quoted(fixturePath("drop/hello.jar")),
                             &output),
                  0u)
            << label << " " << check.command << ": " << output;
        for (const char* text : check.shows)
            EXPECT_NE(output.find(text), std::string::npos) << label << " " << check.command << ": " << output;
    }
}

RegistryKeySnapshot::RegistryKeySnapshot(HKEY root, const std::string& key) : root_(root), key_(key) {
    HKEY k = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return;
    existed_ = true;
    for (DWORD i = 0;; ++i) {
        char name[16384];
        DWORD nameSize = sizeof(name);
        DWORD type = 0;
        DWORD size = 0;
        if (RegEnumValueA(k, i, name, &nameSize, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        RegValue v;
        readValue(root, key, name, &v);
        values_[name] = v;
    }
    RegCloseKey(k);
}

RegistryKeySnapshot::~RegistryKeySnapshot() { restore(); }

void RegistryKeySnapshot::restore() {
    if (restored_ || !existed_) return;
    restored_ = true;
    HKEY k = nullptr;
    if (RegCreateKeyExA(root_, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) != ERROR_SUCCESS)
        return;
    RegCloseKey(k);
    for (const auto& entry : values_) writeValue(root_, key_, entry.first.empty() ? nullptr : entry.first.c_str(),
                                                 entry.second);
}

bool createVolatileKey(HKEY root, const std::string& key) {
    size_t slash = key.rfind('\\');
    HKEY parent = root;
    HKEY opened = nullptr;
    if (slash != std::string::npos) {
        if (RegCreateKeyExA(root, key.substr(0, slash).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened,
                            nullptr) != ERROR_SUCCESS)
            return false;
        parent = opened;
    }
    HKEY k = nullptr;
    LONG rc = RegCreateKeyExA(parent, key.substr(slash == std::string::npos ? 0 : slash + 1).c_str(), 0, nullptr,
                              REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &k, nullptr);
    if (opened) RegCloseKey(opened);
    if (rc != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
}

namespace {
const UINT kChangeMessage = WM_APP + 7;
const char kListenerClass[] = "MorvaneAssociationListener";
}  // namespace

AssociationChangeListener::AssociationChangeListener() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kListenerClass;
    RegisterClassA(&wc);
    window_ = CreateWindowA(kListenerClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    if (!window_) return;
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    // A null item list asks for the events of every item.
    SHChangeNotifyEntry entry = {nullptr, TRUE};
    registration_ = SHChangeNotifyRegister(window_, SHCNRF_ShellLevel | SHCNRF_InterruptLevel, SHCNE_ASSOCCHANGED,
                                           kChangeMessage, 1, &entry);
}

AssociationChangeListener::~AssociationChangeListener() {
    if (registration_) SHChangeNotifyDeregister(registration_);
    if (window_) DestroyWindow(window_);
}

int AssociationChangeListener::takeCount() {
    MSG msg;
    while (PeekMessageA(&msg, window_, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    int n = count_;
    count_ = 0;
    return n;
}

LRESULT CALLBACK AssociationChangeListener::windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kChangeMessage) {
        auto* self = reinterpret_cast<AssociationChangeListener*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (self && (static_cast<LONG>(lp) & SHCNE_ASSOCCHANGED)) ++self->count_;
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

namespace {
// The system's handle list (SystemHandleInformation): Wine answers it, while
// its GetProcessHandleCount is a stub that reports 0.
struct SystemHandleEntry {
    ULONG ownerPid;
    BYTE objectType;
    BYTE flags;
    USHORT value;
    PVOID object;
    ULONG access;
};
struct SystemHandleList {
    ULONG count;
    SystemHandleEntry entries[1];
};
typedef LONG(WINAPI* QuerySystemInformationFn)(ULONG, PVOID, ULONG, PULONG);
}  // namespace

DWORD processHandleCount() {
    auto query = reinterpret_cast<QuerySystemInformationFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return 0;
    std::vector<BYTE> buffer(1 << 16);
    for (;;) {
        ULONG needed = 0;
        LONG status = query(16, buffer.data(), ULONG(buffer.size()), &needed);
        if (status == LONG(0xC0000004)) {  // STATUS_INFO_LENGTH_MISMATCH
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (status != 0) return 0;
        break;
    }
    const auto* list = reinterpret_cast<const SystemHandleList*>(buffer.data());
    DWORD mine = 0;
    for (ULONG i = 0; i < list->count; ++i)
        if (list->entries[i].ownerPid == GetCurrentProcessId()) ++mine;
    return mine;
}

namespace {
const DWORD kProgramTimeoutMs = 120000;

// The programs that the ended process `parent` started, each waited for.
void waitForChildren(DWORD parent) {
    FileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot.get(), &entry); more; more = Process32Next(snapshot.get(), &entry)) {
        if (entry.th32ParentProcessID != parent) continue;
        FileHandle child(OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID));
        if (child.get()) EXPECT_EQ(WaitForSingleObject(child.get(), kProgramTimeoutMs), WAIT_OBJECT_0);
    }
}

DWORD run(const std::string& commandLine, std::string* output, bool withChildren) {
    std::string command = commandLine;
    // The output goes to a new file in the temporary folder that the program
    // inherits, never to a pipe that Wine's background processes could hold.
    char outputPath[MAX_PATH] = {};
    FileHandle outputFile;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    if (output) {
        char folder[MAX_PATH];
        SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
        if (GetTempPathA(MAX_PATH, folder) && GetTempFileNameA(folder, "out", 0, outputPath))
            outputFile.reset(
                CreateFileA(outputPath, GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr));
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = startup.hStdError = outputFile.get();
    }
    PROCESS_INFORMATION process = {};
    DWORD code = DWORD(-1);
    if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, output != nullptr, 0, nullptr, nullptr, &startup,
                       &process)) {
        if (WaitForSingleObject(process.hProcess, kProgramTimeoutMs) == WAIT_OBJECT_0)
            GetExitCodeProcess(process.hProcess, &code);
        if (withChildren) waitForChildren(process.dwProcessId);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    } else {
        ADD_FAILURE() << "cannot start " << command << " (error " << GetLastError() << ")";
    }
    if (output) {
        outputFile.reset();
        *output = readBinaryFile(outputPath);
        DeleteFileA(outputPath);
    }
    return code;
}
}  // namespace

DWORD runProgram(const std::string& commandLine, std::string* output) { return run(commandLine, output, false); }

DWORD runProgramAndChildren(const std::string& commandLine) { return run(commandLine, nullptr, true); }

std::string quoted(const std::string& path) { return "\"" + path + "\""; }
