/* mingw-w64's wide printf (fwprintf, wprintf) writes each run of text and
   each string argument through __ms_fwprintf, which its import library names
   as an alias of msvcrt's fwprintf. Zig 0.11's linker resolves that alias to
   the program's own fwprintf, mingw-w64's, which calls back into the same
   formatter: every wide formatted write to a stream recurses until the stack
   overflows. This definition comes before the import library and calls
   msvcrt's own fwprintf, found at run time (its import entry would bring in
   a second definition of the name fwprintf).
   The formatter calls it only as "%.*s", "%*.*s" or "%-*.*s" (S for narrow
   text): a field width and a precision, then the text. They are handed on as
   plain arguments rather than as a va_list, whose layout a Wine built without
   a PE compiler does not share. */
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

#include <windows.h>

typedef int(__cdecl* FwprintfFunction)(FILE*, const wchar_t*, ...);

int __cdecl __ms_fwprintf(FILE* stream, const wchar_t* format, ...) {
  static FwprintfFunction msvcrtFwprintf;
  if (!msvcrtFwprintf) {
    HMODULE msvcrt = GetModuleHandleW(L"msvcrt.dll");
    msvcrtFwprintf = msvcrt ? (FwprintfFunction)(void*)GetProcAddress(msvcrt, "fwprintf") : NULL;
    if (!msvcrtFwprintf) abort();
  }
  int stars = 0;
  for (const wchar_t* p = format; *p; ++p) stars += *p == L'*';
  va_list args;
  va_start(args, format);
  int first = stars > 0 ? va_arg(args, int) : 0;
  int second = stars > 1 ? va_arg(args, int) : 0;
  const void* text = va_arg(args, const void*);
  va_end(args);
  if (stars > 1) return msvcrtFwprintf(stream, format, first, second, text);
  if (stars == 1) return msvcrtFwprintf(stream, format, first, text);
  return msvcrtFwprintf(stream, format, text);
}
