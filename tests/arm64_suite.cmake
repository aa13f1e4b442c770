# The Windows suite's tests of the DLL itself (the COM surface, registration,
# icon, tooltip, drop with the recording program, Version page), built for
# ARM64 and run one after another in the tree's ARM64 prefix (arm64_wine.sh),
# which the first test starts and the last one stops. The drop tests that
# start the real JVM stay with the x86 trees.
#
# Left out under emulation: Debian's arm64 Wine runs its msvcrt as a Unix
# library, which reads a va_list the Unix way rather than as ARM64 Windows
# passes it, so the DLL's debug log and debug boxes (formatted with
# _vsnprintf) crash there, and the double-byte code page test needs the x86
# trees' cp932 prefix.
set(arm64_filter_icon "-IconTest.EachStageLogsTheHandlesItLeaves")
set(arm64_filter_drop_target "-DropTest.DebugBox*:DropTest.AnsiNamesInADoubleByteCodePage")
include(${CMAKE_CURRENT_SOURCE_DIR}/win_support.cmake)

set(arm64_wine bash ${CMAKE_CURRENT_SOURCE_DIR}/arm64_wine.sh ${MORVANE_ARM64_WINE_ROOT} ${CMAKE_BINARY_DIR}
  ${MORVANE_SHARED_FIXTURES})
add_test(NAME arm64_prefix_start COMMAND ${arm64_wine} start)
add_test(NAME arm64_prefix_stop COMMAND ${arm64_wine} stop)
set_tests_properties(arm64_prefix_start PROPERTIES FIXTURES_SETUP arm64_prefix TIMEOUT 400)
set_tests_properties(arm64_prefix_stop PROPERTIES FIXTURES_CLEANUP arm64_prefix)

# The recording program that the drop tests register for jars.
add_executable(drop_recorder ${CMAKE_CURRENT_SOURCE_DIR}/support/win/programs/drop_recorder.cpp
  ${MORVANE_PROGRAM_SOURCES})
target_compile_options(drop_recorder PRIVATE ${MORVANE_WARNINGS})
foreach(base com registration icon infotip drop_target version_page)
  add_executable(win_${base} ${CMAKE_CURRENT_SOURCE_DIR}/win/${base}_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../cmake/zig/ms_fwprintf.c)
  target_link_libraries(win_${base} PRIVATE morvane_win win_test_support gtest_main)
  # With exceptions on, as in the tests, clang holds the COM classes'
  # overrides against the exception specifications of mingw's interfaces.
  target_compile_options(win_${base} PRIVATE ${MORVANE_WARNINGS} -Wno-microsoft-exception-spec)
  add_dependencies(win_${base} Morvane drop_recorder)
  add_test(NAME win_${base} COMMAND ${arm64_wine} run win_${base}.exe
    --gtest_output=xml:C:\\build\\test-results\\win_${base}.xml)
  set_tests_properties(win_${base} PROPERTIES FIXTURES_REQUIRED arm64_prefix RUN_SERIAL TRUE TIMEOUT 600
    ENVIRONMENT "MORVANE_FIXTURES=C:\\fixtures;MORVANE_VERSION=${PROJECT_VERSION}")
  if(arm64_filter_${base})
    set_property(TEST win_${base} APPEND PROPERTY ENVIRONMENT "GTEST_FILTER=${arm64_filter_${base}}")
  endif()
endforeach()
morvane_windows10_manifest(win_icon)
