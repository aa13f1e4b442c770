#pragma once
// Helpers shared by the native and the Windows test programs.
#include <cstdlib>
#include <string>

#include "base/CoreAlloc.h"

// Path of a generated fixture: $MORVANE_FIXTURES + separator + relative path
// (relative paths use '/', turned into '\' on Windows).
inline std::string fixturePath(const std::string& relative) {
    const char* root = std::getenv("MORVANE_FIXTURES");
    std::string path = root ? root : "fixtures";
#ifdef _WIN32
    std::string rel = relative;
    for (char& c : rel)
        if (c == '/') c = '\\';
    return path + "\\" + rel;
#else
    return path + "/" + relative;
#endif
}

// Runs body once for every allocation it makes, making that allocation fail,
// until a run completes without reaching the injected failure. body returns
// true when its result was the failure result it must give on no memory, or
// the full success result when no allocation failed; it returns false to
// report a wrong result. Returns the number of failure points tried, or -1
// when body reported a wrong result (the failing step is in *failedAt).
template <typename Body>
long sweepAllocationFailures(Body body, long* failedAt = nullptr) {
    for (long n = 1;; ++n) {
        armAllocationFailure(n);
        bool good = body();
        long calls = allocationCount();
        armAllocationFailure(0);
        if (!good) {
            if (failedAt) *failedAt = n;
            return -1;
        }
        if (calls < n) return n - 1;  // the injected failure was never reached
    }
}
