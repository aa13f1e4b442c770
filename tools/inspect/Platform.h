#pragma once
// What the inspect tool needs from the system it runs on. The tool's own text
// is UTF-8 throughout; "system text" is what the shell extension gets paths in:
// the ANSI code page on Windows, plain bytes elsewhere.
#include <string>

#include "base/WideChar.h"
#include "text/TextConvert.h"

// Runs the tool with its arguments as UTF-8 (the platform's main calls it).
int runInspect(int argc, char** argv);

// Why the path cannot be read as a jar ("no such file", "a folder", "a FIFO
// (named pipe)", ...), or empty when it names a regular file. Checked before
// anything opens it, so that a FIFO or a device never blocks the tool.
std::string whyNotARegularFile(const std::string& path);
// The full path as the shell hands it to the extension (UTF-16 on Windows);
// false when it cannot be made.
bool shellPathOf(const std::string& path, std::basic_string<PathChar>* shellPath);
// Such a path as wide text (a new coreAlloc string, or null), and as system
// text (false when a character has no form in it).
WChar* pathToWide(const std::basic_string<PathChar>& path);
bool pathToSystemText(const std::basic_string<PathChar>& path, std::string* systemText);
// System text -> a new coreAlloc wide string, or null.
WChar* systemTextToWide(const char* text);
// UTF-8 -> system text; false when a character has no form in it.
bool utf8ToSystemText(const std::string& utf8, std::string* systemText);
// The lead-byte test of system text that the ANSI drop quotes names with:
// in a double-byte code page a 0x5C byte may be half a character.
LeadByteTest systemLeadByteTest();
// The locale name the tooltip lookup gets for this user, and how it was found.
std::string userLocaleName(std::string* how);
// The folder where the name list file would be made, with its separator.
std::string tempFolderShown();
// Makes stdout and stderr take UTF-8 bytes as they are.
void prepareOutput();
