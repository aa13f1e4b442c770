#pragma once
// The UTF-16 code unit of the core. On Windows it is wchar_t, so Win32 calls
// take core strings without casts; elsewhere char16_t.
#include <cstddef>

#ifdef _WIN32
typedef wchar_t WChar;
#else
typedef char16_t WChar;
#endif

