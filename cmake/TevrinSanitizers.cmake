# Sanitizers apply to every target of the build tree so that all code under test is instrumented.
if(TEVRIN_SANITIZE)
  add_compile_options(-fsanitize=${TEVRIN_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${TEVRIN_SANITIZE})
endif()

# Fuzzing: every target gets libFuzzer's coverage instrumentation; the fuzz
# targets link its driver (tests/fuzz).
if(TEVRIN_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "TEVRIN_FUZZ needs clang (libFuzzer); configure with the `fuzz` preset")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
