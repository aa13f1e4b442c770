# GoogleTest from Debian's sources, built with the tree's cross toolchain, and
# the Windows tests' support library (support/win/), for every Windows tree.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

file(GLOB win_support CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/support/win/*.cpp)
add_library(win_test_support STATIC ${win_support})
target_include_directories(win_test_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/support)
target_link_libraries(win_test_support PUBLIC morvane_win_platform gtest)

# A test program manifested for Windows 10, which then reads the system
# version as Explorer does (without it Windows and Wine tell it 6.2 at most).
function(morvane_windows10_manifest target)
  set(manifest ${CMAKE_CURRENT_SOURCE_DIR}/support/win/manifest)
  target_sources(${target} PRIVATE ${manifest}/compatibility.rc)
  set_source_files_properties(${manifest}/compatibility.rc PROPERTIES OBJECT_DEPENDS ${manifest}/compatibility.manifest)
endfunction()
