# Source collection and the library variants built from it.

set_property(GLOBAL PROPERTY MORVANE_CORE_SOURCES "")
set_property(GLOBAL PROPERTY MORVANE_WIN_SOURCES "")

function(morvane_core_sources)
  foreach(f ${ARGN})
    get_filename_component(abs ${f} ABSOLUTE)
    set_property(GLOBAL APPEND PROPERTY MORVANE_CORE_SOURCES ${abs})
  endforeach()
endfunction()

function(morvane_win_sources)
  foreach(f ${ARGN})
    get_filename_component(abs ${f} ABSOLUTE)
    set_property(GLOBAL APPEND PROPERTY MORVANE_WIN_SOURCES ${abs})
  endforeach()
endfunction()

set(MORVANE_WARNINGS -Wall -Wextra -Wno-unused-parameter)
# Library code never throws and never needs RTTI: an exception reaching a
# Windows frame would take the shell down with it.
set(MORVANE_LIB_FLAGS ${MORVANE_WARNINGS} -fno-exceptions -fno-rtti)

# zlib from the toolchain's own root: on Windows the static library, so that
# the DLL and the programs import nothing but system DLLs.
# A toolchain without one (cmake/zig-aarch64.cmake) builds the copy in
# third_party/zlib.
if(MORVANE_BUNDLED_ZLIB)
  add_subdirectory(${PROJECT_SOURCE_DIR}/third_party/zlib ${CMAKE_BINARY_DIR}/zlib)
else()
  if(MORVANE_WINDOWS)
    set(ZLIB_USE_STATIC_LIBS ON)
  endif()
  find_package(ZLIB REQUIRED)
endif()

function(morvane_core_variant name)
  cmake_parse_arguments(V "" "" "COMPILE;LINK" ${ARGN})
  get_property(srcs GLOBAL PROPERTY MORVANE_CORE_SOURCES)
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(${name} PRIVATE ${MORVANE_LIB_FLAGS} PUBLIC ${V_COMPILE})
  target_link_options(${name} PUBLIC ${V_LINK})
  target_link_libraries(${name} PUBLIC ZLIB::ZLIB)
endfunction()

# The core is built without RTTI, so there is no type information for the
# vptr check of the undefined-behaviour sanitizer to compare against.
set(MORVANE_SANITIZE -fsanitize=address,undefined -fno-sanitize=vptr -fno-sanitize-recover=undefined
  -fno-omit-frame-pointer)

function(morvane_define_libraries)
  if(MORVANE_WINDOWS)
    morvane_core_variant(morvane_core)
    # What every Windows target of the project compiles and links with.
    add_library(morvane_win_platform INTERFACE)
    target_compile_definitions(morvane_win_platform INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX
      _WIN32_WINNT=0x0601 WINVER=0x0601 _WIN32_IE=0x0700)
    target_link_libraries(morvane_win_platform INTERFACE morvane_core ole32
      shell32 comctl32 user32 gdi32 advapi32 uuid)
    get_property(wsrcs GLOBAL PROPERTY MORVANE_WIN_SOURCES)
    # Object library: every program that links it (the DLL, the shell host,
    # the Windows test programs) takes all of its objects, so the core's
    # calls into the Windows code (the archive file, for one) always resolve.
    add_library(morvane_win OBJECT ${wsrcs})
    target_compile_options(morvane_win PRIVATE ${MORVANE_LIB_FLAGS})
    target_link_libraries(morvane_win PUBLIC morvane_win_platform)
  else()
    # Unit tests run the core under ASan and UBSan.
    morvane_core_variant(morvane_core COMPILE ${MORVANE_SANITIZE} LINK ${MORVANE_SANITIZE})
    # The core as it ships: optimised, no sanitizers. The benchmarks measure
    # it and the inspect tool is built on it.
    morvane_core_variant(morvane_core_release COMPILE -O2)
    if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
      morvane_core_variant(morvane_core_fuzz
        COMPILE -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
        LINK -fsanitize=address,undefined)
    endif()
  endif()
endfunction()

# Flags every Windows program of this project links with: no runtime DLLs of
# the toolchain, only the system's.
set(MORVANE_WIN_LINK -static -static-libgcc -static-libstdc++)
