#pragma once
// Helpers of the registration tests: the registry paths as the shell reads
// them, a snapshot of a key's values, an association-change listener and the
// process's handle count.
#include <windows.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "base/WinHolders.h"
#include "win/WinTestSupport.h"

#define REG_TEST_DESCRIPTION "Java-Jar: Icon, tooltip and desktopintegration extension"
#define REG_TEST_BOX_CAPTION L"Jar-File shell extension"

// One registry value: its type and raw bytes.
struct RegValue {
    DWORD type = REG_NONE;
    std::string bytes;
    bool operator==(const RegValue& o) const { return type == o.type && bytes == o.bytes; }
};
// A REG_SZ value as registration stores it: the text and its terminator.
RegValue szValue(const std::string& text);
// The value, or false when it does not exist.
bool readValue(HKEY root, const std::string& key, const char* name, RegValue* value);
void writeValue(HKEY root, const std::string& key, const char* name, const RegValue& value);
std::string describe(const RegValue& value);
inline void PrintTo(const RegValue& value, std::ostream* out) { *out << describe(value); }

// The default icon a Java installer leaves on the jar file type, terminator
// and all: registration saves it and unregistration puts it back.
extern const RegValue kFormerIcon;

// A key opened in the given registry view (KEY_WOW64_32KEY or _64KEY).
RegKey openInView(HKEY root, const char* path, REGSAM view);

// Every key (as "label\") and value (as "label\[name]") below a key, with
// type and bytes.
using RegistryTree = std::map<std::string, RegValue>;
void readTree(HKEY root, const std::string& path, const std::string& label, RegistryTree* tree);
// What is ours in one view: the class key ("class") and the approval entry
// ("approved").
RegistryTree viewTree(REGSAM view);
// The same for the DLL at this path registered in that view.
RegistryTree registeredView(const std::string& dll);
// The jar file type that both views share, and what it holds while the class
// is registered or after the last unregistration (with kFormerIcon before).
RegistryTree fileTypeTree();
RegistryTree fileType(bool registered);

// The shell host at this path creates the object through the registered
// class, as Explorer or a program's file dialog does, and gets a jar's own
// icon, its tooltip and the Version page of the shell's property sheet.
void expectShellHostServes(const std::string& shellHost, const char* label);

// Every value of one key (no subkeys), captured at construction and written
// back into the re-created key by restore() or at destruction.
class RegistryKeySnapshot {
public:
    RegistryKeySnapshot(HKEY root, const std::string& key);
    ~RegistryKeySnapshot();
    void restore();
    bool existed() const { return existed_; }

private:
    HKEY root_;
    std::string key_;
    bool existed_ = false;
    bool restored_ = false;
    std::map<std::string, RegValue> values_;
};

// A volatile key (with its missing parents created non-volatile): a
// non-volatile subkey cannot be created below it.
bool createVolatileKey(HKEY root, const std::string& key);

// Counts the shell's association-change notices that reach a hidden window of
// the calling thread.
class AssociationChangeListener {
public:
    AssociationChangeListener();
    ~AssociationChangeListener();
    bool listening() const { return registration_ != 0; }
    // Delivers what is queued and returns the count since the last call.
    int takeCount();

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    HWND window_ = nullptr;
    ULONG registration_ = 0;
    int count_ = 0;
};

DWORD processHandleCount();

// Runs a command line and waits for it (bounded), returning its exit code, or
// -1 when it cannot be started or does not end in time. Its standard output
// and error go to *output when one is given.
DWORD runProgram(const std::string& commandLine, std::string* output = nullptr);
// The same, and then waits (bounded) for the programs that it started, as a
// setup program's uninstaller does that runs a copy of itself.
DWORD runProgramAndChildren(const std::string& commandLine);
std::string quoted(const std::string& path);
