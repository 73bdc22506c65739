# Where `cmake --install` puts things: the Windows package is one flat folder
# (what an integrator copies beside the host), Linux hosts get the usual
# prefix layout.
include(GNUInstallDirs)
if(WIN32)
  set(TEVRIN_INSTALL_BINDIR .)
  set(TEVRIN_INSTALL_LIBDIR .)
  set(TEVRIN_INSTALL_INCLUDEDIR .)
else()
  set(TEVRIN_INSTALL_BINDIR ${CMAKE_INSTALL_BINDIR})
  set(TEVRIN_INSTALL_LIBDIR ${CMAKE_INSTALL_LIBDIR})
  set(TEVRIN_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR})
endif()
