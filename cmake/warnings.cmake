# Warnings every target of the project is built with.
add_library(ventrel_warnings INTERFACE)
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  target_compile_options(ventrel_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
    -Wunused -Woverloaded-virtual -Wformat=2 -Wimplicit-fallthrough)
  if(VENTREL_WERROR)
    target_compile_options(ventrel_warnings INTERFACE -Werror)
  endif()
endif()
# GCC 12 at -O3 (Release) sees overlapping copies of 2 GB inside std::string's operator+ once it
# is inlined, in every file that joins strings so: a false positive of that compiler (GCC bug
# 105329, fixed in 13), seen for i686. Silenced for GCC 12 alone; every other compiler keeps it.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
   AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(ventrel_warnings INTERFACE -Wno-restrict)
endif()
