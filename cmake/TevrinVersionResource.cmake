# tevrin_version_resource(<target> <description>): on Windows, gives the
# target a VERSIONINFO resource with the project's version, company, product
# and copyright, the description and the file's own name. Nothing elsewhere.
function(tevrin_version_resource target description)
  if(NOT WIN32)
    return()
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    set(TEVRIN_RC_FILE_TYPE VFT_APP)
  else()
    set(TEVRIN_RC_FILE_TYPE VFT_DLL)
  endif()
  set(TEVRIN_RC_DESCRIPTION "${description}")
  set(TEVRIN_RC_INTERNAL_NAME ${target})
  foreach(part MAJOR MINOR PATCH TWEAK)
    set(TEVRIN_RC_${part} ${PROJECT_VERSION_${part}})
    if(NOT TEVRIN_RC_${part})
      set(TEVRIN_RC_${part} 0)
    endif()
  endforeach()
  # The file's name is known at generation time only.
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc.in @ONLY)
  file(GENERATE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc
       INPUT ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc.in)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
endfunction()
