# Builds with AddressSanitizer and UndefinedBehaviorSanitizer, for the tests and the fuzzers: any
# finding stops the program, so a test that hits one fails.
option(VENTREL_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(VENTREL_FUZZ "Build the libFuzzer targets (clang only; implies VENTREL_SANITIZE)" OFF)

if(VENTREL_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "The fuzz targets need clang's libFuzzer; configure with the fuzz preset")
  endif()
  set(VENTREL_SANITIZE ON)
  # Every object of the project reports coverage to the fuzzer; only the targets link its main.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

if(VENTREL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()
