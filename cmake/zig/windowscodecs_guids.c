/* The Windows Imaging Component's class and interface identifiers, which
   mingw-w64's libwindowscodecs.a carries and Zig's import libraries do not. */
#include <initguid.h>
#include <wincodec.h>
