# The Windows programs' resources: the icon drawn from packaging/orbel.svg at
# build time, a manifest and version information from the project's version
# and packaging/copyright's holder (packaging/windows/orbel.rc.in).
#   orbel_windows_resources(TARGET DESCRIPTION)
# does nothing on other systems.

set(ORBEL_RES_DIR ${PROJECT_SOURCE_DIR}/packaging/windows)

# "2026 ORBEL developers" from the first Copyright field: the years and the holder.
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/copyright orbel_copyright_line
     REGEX "^Copyright: " LIMIT_COUNT 1)
string(REGEX REPLACE "^Copyright: *" "" ORBEL_RES_COPYRIGHT "${orbel_copyright_line}")
string(REGEX REPLACE "^[0-9, -]+" "" ORBEL_RES_HOLDER "${ORBEL_RES_COPYRIGHT}")
if(ORBEL_RES_HOLDER STREQUAL "")
  message(FATAL_ERROR "packaging/copyright names no holder in its Copyright field")
endif()
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${PROJECT_SOURCE_DIR}/packaging/copyright)

function(orbel_windows_icon out)
  set(ico ${PROJECT_BINARY_DIR}/resources/orbel.ico)
  if(NOT TARGET orbel-icon)
    add_custom_command(
      OUTPUT ${ico}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/resources
      COMMAND ${ORBEL_RES_DIR}/make-icon ${PROJECT_SOURCE_DIR}/packaging/orbel.svg ${ico}
      DEPENDS ${PROJECT_SOURCE_DIR}/packaging/orbel.svg ${ORBEL_RES_DIR}/make-icon
      COMMENT "Drawing orbel.ico from packaging/orbel.svg"
      VERBATIM)
    add_custom_target(orbel-icon DEPENDS ${ico})
  endif()
  set(${out} ${ico} PARENT_SCOPE)
endfunction()

function(orbel_windows_resources target description)
  if(NOT WIN32)
    return()
  endif()
  orbel_windows_icon(ORBEL_RES_ICON)
  set(ORBEL_RES_NAME ${target})
  set(ORBEL_RES_DESCRIPTION "${description}")
  set(ORBEL_RES_VERSION4 "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
  string(REPLACE "." "," ORBEL_RES_VERSION_COMMAS "${ORBEL_RES_VERSION4}")
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}-resources)
  set(ORBEL_RES_MANIFEST ${dir}/${target}.manifest)
  configure_file(${ORBEL_RES_DIR}/orbel.manifest.in ${ORBEL_RES_MANIFEST} @ONLY)
  configure_file(${ORBEL_RES_DIR}/orbel.rc.in ${dir}/${target}.rc @ONLY)
  target_sources(${target} PRIVATE ${dir}/${target}.rc)
  set_source_files_properties(${dir}/${target}.rc PROPERTIES
    OBJECT_DEPENDS "${ORBEL_RES_ICON};${ORBEL_RES_MANIFEST}")
  add_dependencies(${target} orbel-icon)
endfunction()
