#pragma once
// Helpers for tests of the text code: take ownership of coreAlloc results as
// std strings, so a test compares values and frees them in one step.
#include <optional>
#include <string>

#include "TestSupport.h"
#include "base/CoreAlloc.h"
#include "base/WideChar.h"

using WString = std::basic_string<WChar>;

// The string up to its terminator, or nullopt for null; frees the block.
inline std::optional<std::string> takeText(char* text) {
    if (!text) return std::nullopt;
    std::string s(text);
    coreFree(text);
    return s;
}

inline std::optional<WString> takeWide(WChar* text) {
    if (!text) return std::nullopt;
    WString s(text);
    coreFree(text);
    return s;
}

// The first units of a wide result, terminator included, when the text holds
// 0 units of its own; frees the block.
inline std::optional<WString> takeWideUnits(WChar* text, size_t units) {
    if (!text) return std::nullopt;
    WString s(text, units);
    coreFree(text);
    return s;
}

// Bytes written as hex pairs separated by blanks ("00 00 00 03 61").
inline std::string hexBytes(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (unsigned char c : bytes) {
        if (!hex.empty()) hex += ' ';
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

// The bytes of hex pairs separated by blanks.
inline std::string unhex(const std::string& hex) {
    std::string bytes;
    for (size_t i = 0; i < hex.size();) {
        if (hex[i] == ' ') {
            ++i;
            continue;
        }
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
        i += 2;
    }
    return bytes;
}

// Sweeps the allocation failures of make(), which returns an optional result:
// a run that reached its injected failure must give nullopt, the run that
// reached none must give expected. Returns what sweepAllocationFailures does.
template <typename Make, typename T>
long sweepExpecting(Make make, const T& expected, long* failedAt = nullptr) {
    long run = 0;
    return sweepAllocationFailures(
        [&] {
            ++run;
            auto result = make();
            bool failureReached = allocationCount() >= run;
            return failureReached ? !result.has_value() : result == expected;
        },
        failedAt);
}
