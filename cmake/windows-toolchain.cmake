# The windows preset's toolchain: Debian's mingw-w64 (mingw-w64-x86_64.cmake)
# and, when scripts/build-qt-windows has built it, the static Qt for Windows,
# whose own toolchain file loads ours. With that Qt the window and its tests
# join the build; without it the rest is built as before.
#
# The Qt folder is the one `scripts/build-qt-windows --where` names and calls
# complete ($ORBEL_QT_WINDOWS when set). The answer is kept in the environment
# of this CMake run, so that the compiler checks, which read this file again,
# do not ask again.
if(NOT DEFINED ENV{ORBEL_QT_WINDOWS_FOUND})
  execute_process(
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/../scripts/build-qt-windows --where
    OUTPUT_VARIABLE orbel_qt_prefix
    RESULT_VARIABLE orbel_qt_missing
    ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(orbel_qt_missing OR NOT EXISTS "${orbel_qt_prefix}/lib/cmake/Qt6/qt.toolchain.cmake")
    set(ENV{ORBEL_QT_WINDOWS_FOUND} "no")
  else()
    set(ENV{ORBEL_QT_WINDOWS_FOUND} "${orbel_qt_prefix}")
  endif()
endif()

if("$ENV{ORBEL_QT_WINDOWS_FOUND}" STREQUAL "no")
  include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64.cmake)
else()
  set(QT_CHAINLOAD_TOOLCHAIN_FILE ${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64.cmake)
  include($ENV{ORBEL_QT_WINDOWS_FOUND}/lib/cmake/Qt6/qt.toolchain.cmake)
endif()
