# Libraries the client side uses, as targets named for what they are.
if(TEVRIN_BUILD_CORECTL)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(THRIFT REQUIRED IMPORTED_TARGET GLOBAL thrift>=0.17)
  add_library(tevrin::thrift ALIAS PkgConfig::THRIFT)
  find_package(Boost 1.74 REQUIRED COMPONENTS program_options)
endif()
