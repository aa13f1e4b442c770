#pragma once
// The shell host: creates Morvane's object the way the shell does and hands
// it to one subcommand.
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "base/WinHolders.h"

struct HostOptions {
    std::wstring dllPath;     // --dll PATH: load this DLL directly
    bool registered = false;  // --registered: CoCreateInstance of the registered class
};

class Host {
public:
    explicit Host(const HostOptions& options) : options_(options) {}
    ~Host();

    // A new object of the class, asked for riid; prints the error and returns
    // a failed HRESULT when it cannot be had.
    HRESULT createObject(REFIID riid, void** ppv);
    // The same for another class of the DLL (the property handler).
    HRESULT createObjectOf(REFCLSID clsid, REFIID riid, void** ppv);
    // A new object that has been given the jar's path with IPersistFile::Load.
    HRESULT createLoaded(const std::wstring& jarPath, REFIID riid, void** ppv);
    const HostOptions& options() const { return options_; }

private:
    HostOptions options_;
    HMODULE module_ = nullptr;
};

struct Command {
    const wchar_t* name;
    const wchar_t* usage;    // the arguments, for the usage text
    const wchar_t* summary;  // one line
    int (*run)(Host& host, const std::vector<std::wstring>& args);
};

// Each command file registers its command with one static CommandRegistrar.
struct CommandRegistrar {
    explicit CommandRegistrar(const Command& command);
};
std::vector<Command>& commandTable();

// Helpers for commands.
std::wstring toWindowsPath(const std::wstring& path);  // a Unix path becomes a Z: path
std::string toUtf8(const std::wstring& text);
// Writes text to stdout as UTF-8, whatever the console's code page: names,
// tips and version values may hold any character. From the first call on,
// stdout carries bytes, so a command that uses it prints everything with it.
void printUtf8(const std::wstring& text);
// The out-parameter of a COM call that hands out an interface.
template <typename T>
void** outPtr(ComPtr<T>& holder) {
    return reinterpret_cast<void**>(holder.put());
}
std::wstring hresultText(HRESULT hr);                   // "0x80004001"
int failUsage(const wchar_t* format, ...);               // one-line error, exit code 2
extern const CLSID kClsidJarIcon;
extern const CLSID kClsidJarProperties;
