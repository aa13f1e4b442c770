#pragma once
// The UTF-16 code unit of the core. On Windows it is wchar_t, so Win32 calls
// take core strings without casts; elsewhere char16_t.
#include <cstddef>

#ifdef _WIN32
typedef wchar_t WChar;
#else
typedef char16_t WChar;
#endif


// A file path as the platform's file functions take it: UTF-16 on Windows,
// where the shell hands over paths in any script and of any length, a plain
// byte path elsewhere. PATH_TEXT("x") is a path literal of that kind.
#ifdef _WIN32
typedef wchar_t PathChar;
#define PATH_TEXT(s) L##s
// A wide literal of a macro's text: WIDE_TEXT(NAME) with #define NAME "x".
#define WIDE_TEXT_(text) L##text
#define WIDE_TEXT(text) WIDE_TEXT_(text)
#else
typedef char PathChar;
#define PATH_TEXT(s) s
#endif
