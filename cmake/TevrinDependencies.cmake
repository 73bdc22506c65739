# Libraries the client side uses, as targets named for what they are.
if(TEVRIN_BUILD_CORECTL)
  if(WIN32)
    # MinGW has no packages of Thrift or Boost.Program_options: the script
    # cross-builds them from Debian's source packages into a cache outside
    # the build tree (a no-op when the cache is current).
    execute_process(
      COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/scripts/build-windows-deps.sh
      OUTPUT_VARIABLE _tevrin_deps_output
      RESULT_VARIABLE _tevrin_deps_result)
    if(NOT _tevrin_deps_result EQUAL 0)
      message(FATAL_ERROR "scripts/build-windows-deps.sh failed (${_tevrin_deps_result})")
    endif()
    string(STRIP "${_tevrin_deps_output}" _tevrin_deps_output)
    string(REGEX REPLACE "^.*\n" "" TEVRIN_WINDOWS_DEPS "${_tevrin_deps_output}")
    message(STATUS "Windows dependencies: ${TEVRIN_WINDOWS_DEPS}")

    add_library(tevrin::thrift STATIC IMPORTED GLOBAL)
    set_target_properties(tevrin::thrift PROPERTIES
      IMPORTED_LOCATION ${TEVRIN_WINDOWS_DEPS}/lib/libthrift.a
      INTERFACE_INCLUDE_DIRECTORIES "${TEVRIN_WINDOWS_DEPS}/include;${TEVRIN_WINDOWS_DEPS}/boost-include"
      INTERFACE_LINK_LIBRARIES ws2_32)

    add_library(Boost::program_options STATIC IMPORTED GLOBAL)
    set_target_properties(Boost::program_options PROPERTIES
      IMPORTED_LOCATION ${TEVRIN_WINDOWS_DEPS}/lib/libboost_program_options.a
      INTERFACE_INCLUDE_DIRECTORIES ${TEVRIN_WINDOWS_DEPS}/boost-include
      INTERFACE_COMPILE_DEFINITIONS BOOST_ALL_NO_LIB)
  else()
    # Both are linked statically, as in the Windows build: CoreCtl then starts
    # without the dynamic loader relocating them and what they pull in.
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(THRIFT REQUIRED thrift>=0.17)
    find_library(TEVRIN_THRIFT_ARCHIVE NAMES libthrift.a HINTS ${THRIFT_LIBRARY_DIRS} REQUIRED)
    find_package(Threads REQUIRED)
    add_library(tevrin::thrift STATIC IMPORTED GLOBAL)
    set_target_properties(tevrin::thrift PROPERTIES
      IMPORTED_LOCATION ${TEVRIN_THRIFT_ARCHIVE}
      INTERFACE_INCLUDE_DIRECTORIES "${THRIFT_INCLUDE_DIRS}"
      INTERFACE_LINK_LIBRARIES Threads::Threads)
    set(Boost_USE_STATIC_LIBS ON)
    find_package(Boost 1.74 REQUIRED COMPONENTS program_options)
  endif()
endif()

# GoogleTest for the Windows build, compiled from Debian's sources with the
# cross compiler (there is no MinGW package of it).
if(WIN32 AND TEVRIN_BUILD_TESTS)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()

# nlohmann/json is header-only: the Windows build gets Debian's headers
# through a folder that holds only them, announced as the usual package.
if(WIN32 AND (TEVRIN_BUILD_EVRULES OR TEVRIN_BUILD_CORECTL))
  set(_tevrin_json_dir ${CMAKE_BINARY_DIR}/windows-packages)
  file(MAKE_DIRECTORY ${_tevrin_json_dir}/include)
  file(CREATE_LINK /usr/include/nlohmann ${_tevrin_json_dir}/include/nlohmann SYMBOLIC)
  file(WRITE ${_tevrin_json_dir}/nlohmann_jsonConfig.cmake
    "if(NOT TARGET nlohmann_json::nlohmann_json)\n"
    "  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)\n"
    "  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES\n"
    "    INTERFACE_INCLUDE_DIRECTORIES ${_tevrin_json_dir}/include)\n"
    "endif()\n")
  include(CMakePackageConfigHelpers)
  file(STRINGS /usr/include/nlohmann/detail/abi_macros.hpp _tevrin_json_version_lines
       REGEX "#define NLOHMANN_JSON_VERSION_(MAJOR|MINOR|PATCH) [0-9]+")
  string(REGEX REPLACE ".*MAJOR ([0-9]+).*MINOR ([0-9]+).*PATCH ([0-9]+).*" "\\1.\\2.\\3"
         _tevrin_json_version "${_tevrin_json_version_lines}")
  write_basic_package_version_file(${_tevrin_json_dir}/nlohmann_jsonConfigVersion.cmake
    VERSION ${_tevrin_json_version} COMPATIBILITY SameMajorVersion)
  set(nlohmann_json_DIR ${_tevrin_json_dir} CACHE PATH "" FORCE)
endif()
