# The Windows build: GoogleTest from the sources of Debian's googletest
# package, built by the same toolchain; the Win32 serial platform; its tests
# and its benchmark. Every program is a static .exe.

# GoogleTest keeps its own warning settings; it comes before ours.
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
set(ORBEL_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
if(ORBEL_BUILD_TESTS)
  # It names its targets GTest::gtest, GTest::gtest_main, GTest::gmock.
  add_subdirectory(${ORBEL_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

add_compile_options(-Wall -Wextra -Wpedantic -Werror)
add_compile_definitions(_WIN32_WINNT=0x0A00 WINVER=0x0A00 WIN32_LEAN_AND_MEAN NOMINMAX UNICODE
                        _UNICODE)

add_subdirectory(serial/platform/win32)

if(ORBEL_BUILD_TESTS)
  enable_testing()
  add_subdirectory(tests/win32)
endif()
if(ORBEL_BUILD_BENCH AND EXISTS ${PROJECT_SOURCE_DIR}/bench/win32/CMakeLists.txt)
  add_subdirectory(bench/win32)
endif()
