# Cross-compiles for Windows with Debian's MinGW-w64 toolchain; included by the toolchain file of
# each architecture, which names VENTREL_MINGW_TRIPLE and the processor.
set(CMAKE_SYSTEM_NAME Windows)
# The posix thread model: GCC 12's win32 model has no std::thread or std::mutex, which GoogleTest
# and the tests use. -static below keeps its runtime inside each executable.
find_program(CMAKE_C_COMPILER NAMES ${VENTREL_MINGW_TRIPLE}-gcc-posix ${VENTREL_MINGW_TRIPLE}-gcc
             REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${VENTREL_MINGW_TRIPLE}-g++-posix ${VENTREL_MINGW_TRIPLE}-g++
             REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${VENTREL_MINGW_TRIPLE}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${VENTREL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every executable runs on its own: libgcc, libstdc++ and winpthread are linked in, no MinGW DLL
# has to travel with it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
