#pragma once
// Helpers of the drop tests: the .jar association pointing at a program of the
// test's choice, the recording program that stands in for the Java launcher,
// the name list files in the temporary directory, and a data object whose
// medium can be watched.
#include <windows.h>
#include <ole2.h>

#include <chrono>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "win/WinTestSupport.h"

// HKCR\.jar = "jarfile" and HKCR\jarfile\shell\open\command = command for the
// holder's lifetime, or (an empty command) no program registered for .jar
// files at all. Whatever was there before is put back at the end, and what
// did not exist is removed again.
class JarAssociation {
public:
    explicit JarAssociation(const std::string& command);
    ~JarAssociation();
    JarAssociation(const JarAssociation&) = delete;
    JarAssociation& operator=(const JarAssociation&) = delete;

private:
    std::vector<std::string> createdKeys_;  // deepest last
    std::optional<std::string> dotJarDefault_;
    std::optional<std::string> commandDefault_;
};

// The folder of the test program (where the build puts its programs), with a
// trailing backslash.
std::string programFolder();
// bin\drop_recorder.exe and the open command that registers it for .jar files.
std::string recorderPath();
std::string recorderCommand();

// One start of the recording program: the file it writes to is named in the
// environment, which the program started by the drop inherits.
class CommandRecording {
public:
    CommandRecording();
    ~CommandRecording();
    // Waits (bounded) for the started program's command line.
    std::optional<std::wstring> wait(std::chrono::milliseconds limit = std::chrono::seconds(30)) const;
    // True when something has been recorded already.
    bool recorded() const;

private:
    std::string path_;
};

// The arguments as the started program's runtime splits its command line.
std::vector<std::wstring> splitCommandLine(const std::wstring& commandLine);

// Names of the files "mor*.tmp" in the temporary directory.
std::set<std::string> nameListFilesInTemp();
std::string tempFolder();  // with a trailing backslash
std::string readBinaryFile(const std::string& path);
bool fileExists(const std::string& path);

// A variable of the process environment set for the holder's lifetime.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value);  // value null: unset
    ~ScopedEnvironment();

private:
    std::string name_;
    std::optional<std::string> old_;
};

// A DROPFILES block with the given header fields followed by raw list bytes.
std::string dropBlockBytes(DWORD listOffset, BOOL wide, const std::string& list);
