#pragma once
// NUL-terminated texts of any unit (char, WChar): their length, appending at
// a running end pointer, and sizes summed without overflow before anything
// is allocated for them.
#include <cstddef>
#include <cstdint>
#include <cstring>

// Number of units before the terminating 0 unit.
template <typename C>
size_t textLength(const C* text) {
    size_t n = 0;
    while (text[n] != 0) ++n;
    return n;
}

// Copies count units to end, terminates, and returns the new end.
template <typename C>
C* appendUnits(C* end, const C* text, size_t count) {
    std::memcpy(end, text, count * sizeof(C));
    end[count] = 0;
    return end + count;
}

// Copies text (without its terminator) to end, terminates, and returns the new end.
template <typename C>
C* appendText(C* end, const C* text) {
    return appendUnits(end, text, textLength(text));
}

// Adds n to a running size; false when the sum would not fit.
inline bool addSize(size_t* total, size_t n) {
    if (n > SIZE_MAX - *total) return false;
    *total += n;
    return true;
}
