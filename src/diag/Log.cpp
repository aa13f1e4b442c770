#include "diag/Log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "base/Holder.h"
#include "diag/Config.h"
#include "diag/LogFormat.h"
#include "diag/WindowStation.h"

namespace {

FILE* openLogFile() { return fopen(LOG_FILE_PATH, "ab"); }

// The platform runtime's measuring and formatting passes, in both widths: in
// the wide ones "%s" takes a UTF-16 string.
int measureFormat(const char* format, va_list args) { return _vscprintf(format, args); }
int measureFormat(const wchar_t* format, va_list args) { return _vscwprintf(format, args); }
void formatInto(char* out, size_t size, const char* format, va_list args) { _vsnprintf(out, size, format, args); }
void formatInto(wchar_t* out, size_t size, const wchar_t* format, va_list args) {
    _vsnwprintf(out, size, format, args);
}

// The text measured first and then formatted in full into a block of exactly
// that size, so nothing is ever cut. Null when the format cannot be measured
// or memory runs out; *length gets the number of units.
template <typename C>
C* formatNew(size_t* length, const C* format, va_list args) {
    va_list measuring;
    va_copy(measuring, args);
    int n = measureFormat(format, measuring);
    va_end(measuring);
    if (n < 0) return nullptr;
    C* text = coreAllocArray<C>(size_t(n) + 1);
    if (!text) return nullptr;
    formatInto(text, size_t(n) + 1, format, args);
    text[n] = 0;
    *length = size_t(n);
    return text;
}

void writeLogPrefix(FILE* file) {
    fprintf(file, "%lX\t", static_cast<unsigned long>(GetCurrentThreadId()));
    CorePtr<char> path(static_cast<char*>(coreAlloc(1000)));
    if (path) {
        DWORD n = GetModuleFileNameA(nullptr, path.get(), 1000);
        path.get()[n < 1000 ? n : 999] = '\0';
        fputs(programNameFromPath(path.get()), file);
        fputc('\t', file);
    }
    time_t now = time(nullptr);
    LogTime t = {};
    if (const struct tm* local = localtime(&now))
        t = {local->tm_wday, local->tm_mon, local->tm_mday, local->tm_hour,
             local->tm_min, local->tm_sec, local->tm_year + 1900};
    char text[25];
    formatLogTime(t, text);
    fputs(text, file);
    fputc('\t', file);
}

int showBox(const char* text) { return MessageBoxA(nullptr, text, "Info", MB_ICONINFORMATION); }
int showBox(const wchar_t* text) { return MessageBoxW(nullptr, text, L"Info", MB_ICONINFORMATION); }

// An information box with the text in full; without memory for it, the box
// "No Memory" in its place. Where no screen shows the process's windows, no
// box at all: it would block the caller until the process is killed.
template <typename C>
int showFormattedBox(const C* format, va_list args) {
    if (!isWindowStationVisible()) return 0;
    size_t n = 0;
    CorePtr<C> text(formatNew(&n, format, args));
    if (!text) return MessageBoxA(nullptr, "No Memory", "Error", MB_ICONEXCLAMATION);
    return showBox(text.get());
}

}  // namespace

bool isDebugLogOn() { return isConfigFlagSet(CONFIG_DEBUG_LOG); }

void logPrintf(const char* format, ...) {
    if (!isDebugLogOn()) return;
    StdioFile file(openLogFile());
    if (!file) return;
    size_t n = 0;
    va_list args;
    va_start(args, format);
    CorePtr<char> message(formatNew(&n, format, args));
    va_end(args);
    if (!message) return;
    writeLogPrefix(file.get());
    // Written as it is: a percent sign in a path is not interpreted again.
    fwrite(message.get(), 1, n, file.get());
    fputs("\r\n", file.get());
}

void logText(const char* text) {
    if (!isDebugLogOn()) return;
    StdioFile file(openLogFile());
    if (!file) return;
    writeLogPrefix(file.get());
    fwrite(text, 1, strlen(text), file.get());
    fputs("\r\n", file.get());
}

void logGuid(const char* label, REFGUID guid) {
    if (!isDebugLogOn()) return;
    char text[37];
    formatGuidText(guid.Data1, guid.Data2, guid.Data3, guid.Data4, text);
    logPrintf("JarIconObj:: %s: %s", label, text);
}

int showInfoBox(const char* format, ...) {
    va_list args;
    va_start(args, format);
    int result = showFormattedBox(format, args);
    va_end(args);
    return result;
}

int showInfoBoxW(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    int result = showFormattedBox(format, args);
    va_end(args);
    return result;
}
