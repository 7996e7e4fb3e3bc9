# derar-config.cmake - the kit as a CMake package, for hosts:
#
#   find_package(derar 1.4 CONFIG REQUIRED)      # with the kit's folder in CMAKE_PREFIX_PATH, or derar_DIR
#   target_link_libraries(host PRIVATE derar::derar derar::kiv derar::help)
#
#   derar::derar   derar.dll: KivImpExpDialog, KivBrowseDialog (derar.h)
#   derar::kiv     Kiv.dll: the six read and five write calls (kivapi.h)
#   derar::help    the help window (derarhelp.h); its derarhelp.c is compiled into the host
#   derar_RUNTIME_DLLS   the three DLLs that a host ships beside its .exe
#
# The import library fits the toolchain: derar.lib and Kiv.lib for Microsoft's linker
# (Visual Studio, clang-cl, clang for *-windows-msvc), derar.dll.a and libKiv.dll.a for
# MinGW. The kit of one architecture serves hosts of that architecture only:
# derar-config-version.cmake refuses the other.

get_filename_component(_derar_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)

if(MSVC OR CMAKE_C_SIMULATE_ID STREQUAL "MSVC" OR CMAKE_CXX_SIMULATE_ID STREQUAL "MSVC")
  set(_derar_implib "${_derar_prefix}/lib/derar.lib")
  set(_derar_kiv_implib "${_derar_prefix}/lib/Kiv.lib")
else()
  set(_derar_implib "${_derar_prefix}/lib/derar.dll.a")
  set(_derar_kiv_implib "${_derar_prefix}/lib/libKiv.dll.a")
endif()

if(NOT TARGET derar::derar)
  add_library(derar::derar SHARED IMPORTED)
  set_target_properties(derar::derar PROPERTIES
    IMPORTED_LOCATION "${_derar_prefix}/bin/derar.dll"
    IMPORTED_IMPLIB "${_derar_implib}"
    INTERFACE_INCLUDE_DIRECTORIES "${_derar_prefix}/include")

  add_library(derar::kiv SHARED IMPORTED)
  set_target_properties(derar::kiv PROPERTIES
    IMPORTED_LOCATION "${_derar_prefix}/bin/Kiv.dll"
    IMPORTED_IMPLIB "${_derar_kiv_implib}"
    INTERFACE_INCLUDE_DIRECTORIES "${_derar_prefix}/include")

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

unset(_derar_prefix)
unset(_derar_implib)
unset(_derar_kiv_implib)
unset(_derar_languages)
