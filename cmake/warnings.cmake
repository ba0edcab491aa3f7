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
