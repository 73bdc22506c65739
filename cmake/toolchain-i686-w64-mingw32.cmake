# Cross toolchain for 32-bit x86 Windows with Debian's MinGW-w64 compilers.
# The posix-thread variant is used because Thrift's headers need std::thread
# and std::mutex, which the win32-thread variant lacks.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(TEVRIN_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_C_COMPILER ${TEVRIN_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TEVRIN_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TEVRIN_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${TEVRIN_MINGW_TRIPLET}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${TEVRIN_MINGW_TRIPLET}-ranlib CACHE FILEPATH "")
# Import libraries (evrules) and the stripped binaries of the package.
set(CMAKE_DLLTOOL ${TEVRIN_MINGW_TRIPLET}-dlltool CACHE FILEPATH "")
set(CMAKE_STRIP ${TEVRIN_MINGW_TRIPLET}-strip CACHE FILEPATH "")

# Only the MinGW sysroot: no Linux header or library may leak in.
set(CMAKE_FIND_ROOT_PATH /usr/${TEVRIN_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The GCC and C++ runtimes are linked in, so that the binaries need nothing
# but Windows' own DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Windows programs built here run on the build machine under Wine.
find_program(TEVRIN_WINE wine)
if(TEVRIN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TEVRIN_WINE})
endif()
