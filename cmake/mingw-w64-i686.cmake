# 32-bit Windows (i686), with Debian's MinGW-w64 toolchain: the program for 32-bit Windows, and
# the one that runs on every Windows.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(VENTREL_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
