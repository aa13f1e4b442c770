# Cross toolchain for the ARM64 Windows build (build/arm64): the DLL that the
# native Explorer of ARM64 Windows loads. Debian's mingw-w64 has no ARM64
# target; Zig's clang, lld and mingw-w64 CRT build for aarch64-windows-gnu
# (scripts/setup-arm64.sh installs it). Resources come from Debian's windres,
# written as a .res file that lld links directly; zlib is built from the copy
# in third_party/zlib, since there is no ARM64 mingw-w64 zlib to link.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER ${CMAKE_CURRENT_LIST_DIR}/zig/cc)
set(CMAKE_CXX_COMPILER ${CMAKE_CURRENT_LIST_DIR}/zig/c++)
set(CMAKE_AR ${CMAKE_CURRENT_LIST_DIR}/zig/ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${CMAKE_CURRENT_LIST_DIR}/zig/ranlib CACHE FILEPATH "")
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
# llvm-objdump reads ARM64 PE files, which binutils' objdump does not.
set(CMAKE_OBJDUMP llvm-objdump-14 CACHE FILEPATH "")
set(CMAKE_STRIP llvm-strip-14 CACHE FILEPATH "")
set(MORVANE_BUNDLED_ZLIB ON)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_USER_MAKE_RULES_OVERRIDE ${CMAKE_CURRENT_LIST_DIR}/zig/rules.cmake)
set(MORVANE_DLL_RUNTIME ${CMAKE_CURRENT_LIST_DIR}/zig/dll_runtime.cpp)
set(MORVANE_PROGRAM_SOURCES ${CMAKE_CURRENT_LIST_DIR}/zig/wmain_entry.cpp ${CMAKE_CURRENT_LIST_DIR}/zig/ms_fwprintf.c)
set(MORVANE_WIC_GUIDS ${CMAKE_CURRENT_LIST_DIR}/zig/windowscodecs_guids.c)
set(MORVANE_DLL_CHECK_ONLY ON)
