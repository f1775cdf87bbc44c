# What the Windows build (cross-built with mingw-w64) needs besides the
# layers: GoogleTest from the sources of Debian's googletest package, built by
# the same toolchain; the host's header-only libraries; the Windows headers'
# settings. Every program is a static .exe (see the toolchain file).

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
# mingw-w64's GCC 12 at -O2 warns falsely of an overlapping memcpy inside
# std::string's operator+ (GCC bug 105329); the host's GCC does not.
add_compile_options(-Wno-restrict)
add_compile_definitions(_WIN32_WINNT=0x0A00 WINVER=0x0A00 WIN32_LEAN_AND_MEAN NOMINMAX UNICODE
                        _UNICODE)

# CLI11 and nlohmann/json are header-only and the same for every target, but
# the toolchain looks for headers in the mingw-w64 root only. Their folders
# are linked from Debian's host packages into a folder of their own, so that
# no other host header can reach a Windows build.
set(ORBEL_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
foreach(folder CLI nlohmann)
  if(NOT EXISTS /usr/include/${folder})
    message(FATAL_ERROR "/usr/include/${folder} is missing (scripts/install-deps.sh installs it)")
  endif()
  file(MAKE_DIRECTORY ${ORBEL_HOST_HEADERS})
  file(CREATE_LINK /usr/include/${folder} ${ORBEL_HOST_HEADERS}/${folder} SYMBOLIC COPY_ON_ERROR)
endforeach()
set(CLI11_INCLUDE_DIR ${ORBEL_HOST_HEADERS} CACHE PATH "CLI11's headers" FORCE)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES ${ORBEL_HOST_HEADERS})
