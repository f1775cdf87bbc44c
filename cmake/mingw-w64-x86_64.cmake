# Cross-building for 64-bit Windows with Debian's mingw-w64. The -posix
# compilers bring winpthreads, which std::thread and std::mutex need. Every
# program links the C++ runtime, libgcc and winpthreads statically, so an .exe
# runs with no DLL beside it. Programs run here under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ORBEL_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ORBEL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORBEL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ORBEL_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ORBEL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(ORBEL_WINE NAMES wine wine64)
if(ORBEL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ORBEL_WINE})
endif()
