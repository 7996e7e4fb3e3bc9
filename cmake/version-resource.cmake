# The one place where the modules other than derar.dll get their version: the project's
# version (project() in the top CMakeLists.txt), written into a version resource of each
# and checked against the version macros of derar.h and kivapi.h, so that a header, a
# module's properties and `kvd --version` never disagree. derar.dll keeps its own
# numbers (resources/derar.rc): hosts may check them.

# The headers carry the version as macros; a configure that finds them behind fails.
function(derar_check_header_version header prefix)
  file(STRINGS ${header} _lines REGEX "^#define ${prefix}_VERSION(_MAJOR|_MINOR|_PATCH|_STRING)? ")
  set(_found)
  foreach(_part _MAJOR _MINOR _PATCH _STRING "")
    set(_value "?")
    foreach(_line IN LISTS _lines)
      if(_line MATCHES "^#define ${prefix}_VERSION${_part} +\"?([0-9.]+)\"?")
        set(_value ${CMAKE_MATCH_1})
      endif()
    endforeach()
    list(APPEND _found ${_value})
  endforeach()
  math(EXPR _number "10000 * ${PROJECT_VERSION_MAJOR} + 100 * ${PROJECT_VERSION_MINOR} + ${PROJECT_VERSION_PATCH}")
  set(_want ${PROJECT_VERSION_MAJOR} ${PROJECT_VERSION_MINOR} ${PROJECT_VERSION_PATCH} ${PROJECT_VERSION} ${_number})
  if(NOT "${_found}" STREQUAL "${_want}")
    message(FATAL_ERROR "${header}: ${prefix}_VERSION_MAJOR, _MINOR, _PATCH, _STRING and ${prefix}_VERSION say ${_found}; "
                        "the project's version is ${PROJECT_VERSION}: write ${_want} into the header")
  endif()
endfunction()

# derar_version_resource(TARGET FILENAME DESCRIPTION [EXECUTABLE])
function(derar_version_resource target filename description)
  cmake_parse_arguments(PARSE_ARGV 3 _vr "EXECUTABLE" "" "")
  set(DERAR_VR_FILENAME ${filename})
  set(DERAR_VR_DESCRIPTION ${description})
  get_filename_component(DERAR_VR_NAME ${filename} NAME_WE)
  if(_vr_EXECUTABLE)
    set(DERAR_VR_FILETYPE VFT_APP)
  else()
    set(DERAR_VR_FILETYPE VFT_DLL)
  endif()
  set(_rc ${CMAKE_BINARY_DIR}/version/${DERAR_VR_NAME}.rc)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/version-resource.rc.in ${_rc} @ONLY)
  target_sources(${target} PRIVATE ${_rc})
endfunction()
