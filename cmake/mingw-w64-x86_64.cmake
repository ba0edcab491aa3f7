# 64-bit Windows (x86-64), with Debian's MinGW-w64 toolchain.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VENTREL_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
