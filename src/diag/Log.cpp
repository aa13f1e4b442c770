#include "diag/Log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "base/Holder.h"
#include "diag/Config.h"
#include "diag/LogFormat.h"

namespace {

struct StdioFileTraits {
    using Type = FILE*;
    static Type invalid() { return nullptr; }
    static void close(Type f) { fclose(f); }
};
using StdioFile = Holder<StdioFileTraits>;

FILE* openLogFile() { return fopen(LOG_FILE_PATH, "ab"); }

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

}  // namespace

bool isDebugLogOn() { return isConfigFlagSet(CONFIG_DEBUG_LOG); }

void logPrintf(const char* format, ...) {
    if (!isDebugLogOn()) return;
    StdioFile file(openLogFile());
    if (!file) return;
    va_list args;
    va_start(args, format);
    int n = _vscprintf(format, args);
    va_end(args);
    if (n < 0) return;
    CorePtr<char> message(static_cast<char*>(coreAlloc(size_t(n) + 1)));
    if (!message) return;
    writeLogPrefix(file.get());
    va_start(args, format);
    _vsnprintf(message.get(), size_t(n) + 1, format, args);
    va_end(args);
    message.get()[n] = '\0';
    // Written as it is: a percent sign in a path is not interpreted again.
    fwrite(message.get(), 1, size_t(n), file.get());
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
    int n = _vscprintf(format, args);
    va_end(args);
    CorePtr<char> text(n >= 0 ? static_cast<char*>(coreAlloc(size_t(n) + 1)) : nullptr);
    if (!text) return MessageBoxA(nullptr, "No Memory", "Error", MB_ICONEXCLAMATION);
    va_start(args, format);
    _vsnprintf(text.get(), size_t(n) + 1, format, args);
    va_end(args);
    text.get()[n] = '\0';
    return MessageBoxA(nullptr, text.get(), "Info", MB_ICONINFORMATION);
}

int showInfoBoxW(const wchar_t* format, ...) {
    // The wide formatting of the platform's runtime: "%s" takes a UTF-16 string.
    va_list args;
    va_start(args, format);
    int n = _vscwprintf(format, args);
    va_end(args);
    CorePtr<wchar_t> text(n >= 0 ? coreAllocArray<wchar_t>(size_t(n) + 1) : nullptr);
    if (!text) return MessageBoxA(nullptr, "No Memory", "Error", MB_ICONEXCLAMATION);
    va_start(args, format);
    _vsnwprintf(text.get(), size_t(n) + 1, format, args);
    va_end(args);
    text.get()[n] = L'\0';
    return MessageBoxW(nullptr, text.get(), L"Info", MB_ICONINFORMATION);
}
