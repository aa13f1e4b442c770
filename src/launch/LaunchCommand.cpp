#include "launch/LaunchCommand.h"

#include <windows.h>
#include <shellapi.h>

#include "base/TextUnits.h"
#include "diag/Config.h"
#include "diag/Log.h"
#include "launch/LaunchParameters.h"
#include "launch/NameListFile.h"
#include "launch/StartOptions.h"
#include "text/TextConvert.h"

#include <cstring>

#define WIDE_TEXT_(text) L##text
#define WIDE_TEXT(text) WIDE_TEXT_(text)

namespace {

// The calls of one text width: the drop's fWide decides, and nothing else.
struct AnsiCalls {
    using Char = char;
    static Char* quote(const char* names, const WChar*) { return quoteJoinList(names, isAnsiLeadByte); }
    static Char* build(const char* listFile, const Char* archive, const Char* names) {
        return buildLaunchParameters(listFile, archive, names);
    }
    static bool find(const Char* archive, Char* program) {
        return reinterpret_cast<INT_PTR>(FindExecutableA(archive, nullptr, program)) > 32;
    }
    static void showInfo(int length, const Char* program, const Char* parameters) {
        showInfoBox(LAUNCH_INFO_FORMAT, LAUNCH_INFO_LABEL, length, program, parameters);
    }
    static bool start(const Char* program, const Char* parameters) {
        return reinterpret_cast<INT_PTR>(
                   ShellExecuteA(nullptr, nullptr, program, parameters, nullptr, SW_SHOWNORMAL)) > 32;
    }
};

struct WideCalls {
    using Char = WChar;
    static Char* quote(const char*, const WChar* names) { return quoteJoinListW(names); }
    static Char* build(const char* listFile, const Char* archive, const Char* names) {
        return buildLaunchParametersW(listFile, archive, names);
    }
    static bool find(const Char* archive, Char* program) {
        return reinterpret_cast<INT_PTR>(FindExecutableW(archive, nullptr, program)) > 32;
    }
    static void showInfo(int length, const Char* program, const Char* parameters) {
        showInfoBoxW(WIDE_TEXT(LAUNCH_INFO_FORMAT), WIDE_TEXT(LAUNCH_INFO_LABEL), length, program, parameters);
    }
    static bool start(const Char* program, const Char* parameters) {
        return reinterpret_cast<INT_PTR>(
                   ShellExecuteW(nullptr, nullptr, program, parameters, nullptr, SW_SHOWNORMAL)) > 32;
    }
};

template <typename Calls>
void startProgram(const typename Calls::Char* archivePath, const DroppedFiles& drop, NameListFile& listFile) {
    using Char = typename Calls::Char;
    // Without memory for the quoted names the program still starts, without them.
    CorePtr<Char> quoted(listFile ? nullptr : Calls::quote(drop.names, drop.namesW));
    CorePtr<Char> parameters(Calls::build(listFile.get(), archivePath, quoted.get()));
    if (!parameters) return;
    Char program[MAX_PATH] = {};
    if (!Calls::find(archivePath, program)) return;
    if (isConfigFlagSet(CONFIG_DROP_SHOW_INFO))
        Calls::showInfo(static_cast<int>(textLength(parameters.get())), program, parameters.get());
    if (!Calls::start(program, parameters.get())) return;
    // The started program reads the file after this call has long returned.
    coreFree(listFile.release());
}

}  // namespace

WChar* buildLaunchParametersW(const char* listFilePath, const WChar* archivePath, const WChar* quotedNames) {
    CorePtr<WChar> listFile(ansiToWide(listFilePath));
    if (listFilePath && !listFile) return nullptr;
    return buildLaunchParameters(listFile.get(), archivePath, quotedNames);
}

void launchWithDroppedFiles(const char* archivePath, const void* block, size_t blockSize) {
    DroppedFiles drop;
    if (!readDroppedFiles(block, blockSize, &drop)) return;
    NameListFile listFile;
    StartOptions options;
    if (readStartOptions(archivePath, &options) && options.namesInListFile) listFile.reset(writeNameListFile(drop));
    if (!drop.wide) {
        startProgram<AnsiCalls>(archivePath, drop, listFile);
        return;
    }
    CorePtr<WChar> wideArchivePath(ansiToWide(archivePath));
    if (wideArchivePath) startProgram<WideCalls>(wideArchivePath.get(), drop, listFile);
}
