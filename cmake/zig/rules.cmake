# Zig has no resource compiler and its linker takes no COFF resource objects
# from windres: windres writes a .res file instead, which lld links as it is.
set(CMAKE_RC_COMPILE_OBJECT "<CMAKE_RC_COMPILER> -O res <DEFINES> <INCLUDES> <FLAGS> <SOURCE> <OBJECT>")
