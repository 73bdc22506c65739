# Sanitizers apply to every target of the build tree so that all code under test is instrumented.
if(TEVRIN_SANITIZE)
  add_compile_options(-fsanitize=${TEVRIN_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${TEVRIN_SANITIZE})
endif()
