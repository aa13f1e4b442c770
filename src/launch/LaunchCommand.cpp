#include "launch/LaunchCommand.h"

#include <windows.h>
#include <shellapi.h>

#include "archive/LongPath.h"
#include "base/CoreAlloc.h"
#include "base/Holder.h"
#include "base/TextUnits.h"
#include "diag/Config.h"
#include "diag/Log.h"
#include "launch/LaunchParameters.h"
#include "launch/NameListFile.h"
#include "launch/StartOptions.h"
#include "text/TextConvert.h"

#include <cstring>

namespace {

// The calls of one text width: the drop's fWide decides, and nothing else.
struct AnsiCalls {
    using Char = char;
    static Char* build(const Char* listFile, const Char* archive, const DroppedFiles& drop) {
        return buildDropParameters(listFile, archive, drop.names, isAnsiLeadByte);
    }
    static bool find(const Char* archive, Char* program);
    static void showInfo(int length, const Char* program, const Char* parameters) {
        showInfoBox(LAUNCH_INFO_FORMAT, LAUNCH_INFO_LABEL, length, program, parameters);
    }
    static bool start(const Char* program, const Char* parameters) {
        return reinterpret_cast<INT_PTR>(
                   ShellExecuteA(nullptr, nullptr, program, parameters, nullptr, SW_SHOWNORMAL)) > 32;
    }
};

// The short (8.3) form of a path, which the calls limited to MAX_PATH take
// where the full form is too long; null when the volume keeps none.
WChar* shortPathForm(const WChar* path) {
    CorePtr<WChar> longForm(longPathForm(path));
    const WChar* from = longForm ? longForm.get() : path;
    DWORD units = GetShortPathNameW(from, nullptr, 0);
    if (units == 0) return nullptr;
    CorePtr<WChar> shortForm(coreAllocArray<WChar>(units));
    if (!shortForm) return nullptr;
    DWORD got = GetShortPathNameW(from, shortForm.get(), units);
    if (got == 0 || got >= units) return nullptr;
    // "\\?\" stays in front of what came from a long form; FindExecutable
    // takes the plain form.
    const WChar* plain = shortForm.get();
    if (longForm && got > 4 && plain[0] == L'\\' && plain[1] == L'\\' && plain[2] == L'?' && plain[3] == L'\\')
        memmove(shortForm.get(), plain + 4, (got - 3) * sizeof(WChar));
    return shortForm.release();
}

bool AnsiCalls::find(const Char* archive, Char* program) {
    if (reinterpret_cast<INT_PTR>(FindExecutableA(archive, nullptr, program)) > 32) return true;
    // FindExecutable takes a path of less than MAX_PATH characters only.
    if (textLength(archive) < MAX_PATH) return false;
    CorePtr<WChar> wide(ansiToWide(archive));
    CorePtr<WChar> shortForm(wide ? shortPathForm(wide.get()) : nullptr);
    CorePtr<char> ansiShort(wideToAnsi(shortForm.get()));
    return ansiShort && reinterpret_cast<INT_PTR>(FindExecutableA(ansiShort.get(), nullptr, program)) > 32;
}

struct WideCalls {
    using Char = WChar;
    static Char* build(const Char* listFile, const Char* archive, const DroppedFiles& drop) {
        return buildDropParameters(listFile, archive, drop.namesW);
    }
    static bool find(const Char* archive, Char* program) {
        if (reinterpret_cast<INT_PTR>(FindExecutableW(archive, nullptr, program)) > 32) return true;
        // FindExecutable takes a path of less than MAX_PATH characters only.
        CorePtr<WChar> shortForm(textLength(archive) >= MAX_PATH ? shortPathForm(archive) : nullptr);
        return shortForm && reinterpret_cast<INT_PTR>(FindExecutableW(shortForm.get(), nullptr, program)) > 32;
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
void startProgram(const typename Calls::Char* archivePath, const typename Calls::Char* listFilePath,
                  const DroppedFiles& drop, NameListFile& listFile) {
    using Char = typename Calls::Char;
    CorePtr<Char> parameters(Calls::build(listFilePath, archivePath, drop));
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

void launchWithDroppedFiles(const WChar* archivePath, const void* block, size_t blockSize) {
    if (!archivePath || !*archivePath) return;
    DroppedFiles drop;
    if (!readDroppedFiles(block, blockSize, &drop)) return;
    NameListFile listFile;
    StartOptions options;
    if (readStartOptions(archivePath, &options) && options.namesInListFile) listFile.reset(writeNameListFile(drop));
    if (drop.wide) {
        startProgram<WideCalls>(archivePath, listFile.get(), drop, listFile);
        return;
    }
    // The ANSI run passes ANSI text throughout: a path the code page cannot
    // express exactly starts nothing, rather than the program of a look-alike.
    CorePtr<char> ansiArchivePath(wideToAnsi(archivePath));
    if (!ansiArchivePath) return;
    CorePtr<char> ansiListFile;
    if (listFile) {
        ansiListFile.reset(wideToAnsi(listFile.get()));
        if (!ansiListFile) {
            CorePtr<WChar> shortForm(shortPathForm(listFile.get()));
            ansiListFile.reset(wideToAnsi(shortForm.get()));
        }
        if (!ansiListFile) return;
    }
    startProgram<AnsiCalls>(ansiArchivePath.get(), ansiListFile.get(), drop, listFile);
}
