# derar-config.cmake - the kit as a CMake package, for hosts:
#
#   find_package(derar 1.4 CONFIG REQUIRED COMPONENTS helpwindow)   # with the kit's folder in
#                                                                   # CMAKE_PREFIX_PATH, or derar_DIR
#   target_link_libraries(host PRIVATE derar::derar derar::kiv derar::help)
#
#   derar::derar   derar.dll: KivImpExpDialog, KivBrowseDialog (derar.h)
#   derar::kiv     Kiv.dll: the six read and five write calls (kivapi.h)
#   derar::help    the component helpwindow: the help window (derarhelp.h); its derarhelp.c
#                  is compiled into the host. Made whenever the kit holds it; asking for
#                  the component makes it a condition of finding the package.
#   derar_RUNTIME_DLLS   the three DLLs that a host ships beside its .exe
#
# The package is found only when every file that its targets name is in the kit: a file
# missing is said by name when the project is configured, not when the host links or
# starts. The import library fits the toolchain: derar.lib and Kiv.lib for Microsoft's
# linker (Visual Studio, clang-cl, clang for *-windows-msvc), derar.dll.a and libKiv.dll.a
# for MinGW. The kit of one architecture serves hosts of that architecture only:
# derar-config-version.cmake refuses the other.

get_filename_component(_derar_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)

if(MSVC OR CMAKE_C_SIMULATE_ID STREQUAL "MSVC" OR CMAKE_CXX_SIMULATE_ID STREQUAL "MSVC")
  set(_derar_implib lib/derar.lib)
  set(_derar_kiv_implib lib/Kiv.lib)
else()
  set(_derar_implib lib/derar.dll.a)
  set(_derar_kiv_implib lib/libKiv.dll.a)
endif()

# _derar_missing(var files...): var = those of files (relative to the kit) that it lacks.
function(_derar_missing var)
  set(missing)
  foreach(file IN LISTS ARGN)
    if(NOT EXISTS "${_derar_prefix}/${file}")
      list(APPEND missing ${file})
    endif()
  endforeach()
  set(${var} ${missing} PARENT_SCOPE)
endfunction()

macro(_derar_unset)
  unset(_derar_prefix)
  unset(_derar_implib)
  unset(_derar_kiv_implib)
  unset(_derar_languages)
  unset(_derar_lacks)
  unset(_derar_help_lacks)
  unset(_derar_refusals)
  unset(_derar_component)
endmacro()

set(_derar_refusals)
_derar_missing(_derar_lacks bin/derar.dll bin/derafx.dll bin/Kiv.dll include/derar.h include/kivapi.h
               ${_derar_implib} ${_derar_kiv_implib})
if(_derar_lacks)
  list(JOIN _derar_lacks ", " _derar_lacks)
  list(APPEND _derar_refusals "the kit in ${_derar_prefix} lacks ${_derar_lacks}")
endif()

# The help window: its two files, the only component.
_derar_missing(_derar_help_lacks include/derarhelp.h src/derarhelp.c)
if(_derar_help_lacks)
  set(derar_helpwindow_FOUND FALSE)
else()
  set(derar_helpwindow_FOUND TRUE)
endif()
foreach(_derar_component IN LISTS derar_FIND_COMPONENTS)
  if(_derar_component STREQUAL "helpwindow")
    if(_derar_help_lacks AND derar_FIND_REQUIRED_helpwindow)
      list(JOIN _derar_help_lacks ", " _derar_help_lacks)
      list(APPEND _derar_refusals
           "the component helpwindow needs ${_derar_help_lacks}, which the kit in ${_derar_prefix} lacks")
    endif()
  else()
    set(derar_${_derar_component}_FOUND FALSE)
    if(derar_FIND_REQUIRED_${_derar_component})
      list(APPEND _derar_refusals "there is no component ${_derar_component} (the kit offers helpwindow)")
    endif()
  endif()
endforeach()

if(_derar_refusals)
  list(JOIN _derar_refusals "; " _derar_refusals)
  set(derar_NOT_FOUND_MESSAGE "${_derar_refusals}.")
  set(derar_FOUND FALSE)
  _derar_unset()
  return()
endif()

if(NOT TARGET derar::derar)
  add_library(derar::derar SHARED IMPORTED)
  set_target_properties(derar::derar PROPERTIES
    IMPORTED_LOCATION "${_derar_prefix}/bin/derar.dll"
    IMPORTED_IMPLIB "${_derar_prefix}/${_derar_implib}"
    INTERFACE_INCLUDE_DIRECTORIES "${_derar_prefix}/include")

  add_library(derar::kiv SHARED IMPORTED)
  set_target_properties(derar::kiv PROPERTIES
    IMPORTED_LOCATION "${_derar_prefix}/bin/Kiv.dll"
    IMPORTED_IMPLIB "${_derar_prefix}/${_derar_kiv_implib}"
    INTERFACE_INCLUDE_DIRECTORIES "${_derar_prefix}/include")
endif()

if(derar_helpwindow_FOUND AND NOT TARGET derar::help)
  add_library(derar::help INTERFACE IMPORTED)
  set_target_properties(derar::help PROPERTIES
    INTERFACE_SOURCES "${_derar_prefix}/src/derarhelp.c"
    INTERFACE_INCLUDE_DIRECTORIES "${_derar_prefix}/include"
    INTERFACE_LINK_LIBRARIES "user32")
  # A host project without C compiles derarhelp.c as C++ (it is written for both).
  get_property(_derar_languages GLOBAL PROPERTY ENABLED_LANGUAGES)
  if(NOT "C" IN_LIST _derar_languages)
    set_source_files_properties("${_derar_prefix}/src/derarhelp.c" PROPERTIES LANGUAGE CXX)
  endif()
endif()

set(derar_RUNTIME_DLLS "${_derar_prefix}/bin/derar.dll" "${_derar_prefix}/bin/derafx.dll"
                       "${_derar_prefix}/bin/Kiv.dll")
set(derar_INCLUDE_DIR "${_derar_prefix}/include")

_derar_unset()
