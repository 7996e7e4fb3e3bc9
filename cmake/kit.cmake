# The host developer's kit, per architecture (./derar.sh kit lays it out in
# build/kit/<arch>; tests/kit installs it into the build tree and builds hosts from it):
#   bin/       derar.dll, derafx.dll, Kiv.dll, kvd.exe and the demo host with its samples,
#              stripped; the debug information of each beside it (<file>.debug), found by
#              gdb through the binary's debug link. The screenshot tours (derartours.exe,
#              tours/) and the test programs stay in the build tree.
#   include/   derar.h, kivapi.h, derarhelp.h
#   src/       derarhelp.c: the help window, compiled into the host
#   lib/       import libraries for MinGW (derar.dll.a, libKiv.dll.a) and for Microsoft's
#              linker (derar.lib, Kiv.lib), the .def files, and the CMake package
#              (lib/cmake/derar: find_package(derar CONFIG))
#   examples/  the guide's example hosts
#   docs/      the guide, the format, the pictures
#   CHANGELOG.md, THIRD-PARTY-NOTICES.txt
# `cmake --build <tree> --target kit` builds exactly what `cmake --install` then copies.

add_custom_target(kit)

# ---- import libraries for Microsoft's linker ------------------------------------------
# LLVM's dlltool writes them in the short import format that link.exe and lld-link read.
# They bind the names the DLLs export: on i686, callers of Kiv.dll's stdcall calls refer
# to _KivOpen@12, and kill-at (-k) binds that to the export KivOpen (a library made with
# `lib /def` from the decorated Kiv.def would bind KivOpen@12, which is not exported).
find_program(DERAR_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14 REQUIRED)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(_kit_machine i386:x86-64)
  set(_kit_kiv_def ${CMAKE_SOURCE_DIR}/kiv/Kiv.def)
  set(_kit_kill_at)
else()
  set(_kit_machine i386)
  set(_kit_kiv_def ${CMAKE_SOURCE_DIR}/kiv/Kiv-i686.def)
  set(_kit_kill_at -k)
endif()
set(_kit_derar_lib ${CMAKE_BINARY_DIR}/lib/derar.lib)
set(_kit_kiv_lib ${CMAKE_BINARY_DIR}/lib/Kiv.lib)
# derar.def is written by the linker of derar.dll.
add_custom_command(OUTPUT ${_kit_derar_lib}
  COMMAND ${DERAR_LLVM_DLLTOOL} -m ${_kit_machine} -d ${CMAKE_BINARY_DIR}/lib/derar.def -D derar.dll
          -l ${_kit_derar_lib}
  DEPENDS derar VERBATIM)
add_custom_command(OUTPUT ${_kit_kiv_lib}
  COMMAND ${DERAR_LLVM_DLLTOOL} -m ${_kit_machine} ${_kit_kill_at} -d ${_kit_kiv_def} -D Kiv.dll -l ${_kit_kiv_lib}
  DEPENDS ${_kit_kiv_def} VERBATIM)
add_custom_target(msvc_import_libraries ALL DEPENDS ${_kit_derar_lib} ${_kit_kiv_lib})
add_dependencies(kit msvc_import_libraries)

# ---- stripped binaries, their debug information beside them ---------------------------
# A host ships the stripped DLLs; gdb reads <file>.debug beside each through its debug
# link. Made in kit-bin/ of the build tree, so that the tests keep the whole binaries.
set(_kit_bin ${CMAKE_BINARY_DIR}/kit-bin)
set(_kit_binaries)
foreach(_target derar derafx Kiv kvd derardemo)
  set(_file ${_kit_bin}/$<TARGET_FILE_NAME:${_target}>)
  add_custom_command(OUTPUT ${_kit_bin}/${_target}.stamp
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_kit_bin}
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${_target}> ${_file}.debug
    COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=$<TARGET_FILE_NAME:${_target}>.debug
            $<TARGET_FILE:${_target}> ${_file}
    COMMAND ${CMAKE_COMMAND} -E touch ${_kit_bin}/${_target}.stamp
    WORKING_DIRECTORY ${_kit_bin}
    DEPENDS ${_target} VERBATIM)
  list(APPEND _kit_stamps ${_kit_bin}/${_target}.stamp)
  list(APPEND _kit_binaries ${_file} ${_file}.debug)
endforeach()
add_custom_target(stripped_binaries ALL DEPENDS ${_kit_stamps})
add_dependencies(kit stripped_binaries derardemo_samples)

# ---- the notices of what the toolchain links into every binary -----------------------
set(_kit_notices ${CMAKE_BINARY_DIR}/THIRD-PARTY-NOTICES.txt)
add_custom_command(OUTPUT ${_kit_notices}
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/cmake/third-party-notices.py --triple ${DERAR_MINGW_TRIPLE}
          ${_kit_notices}
  DEPENDS ${CMAKE_SOURCE_DIR}/cmake/third-party-notices.py VERBATIM)
add_custom_target(third_party_notices ALL DEPENDS ${_kit_notices})
add_dependencies(kit third_party_notices)

# ---- the CMake package ----------------------------------------------------------------
include(CMakePackageConfigHelpers)
# The version file also refuses a kit of the other architecture (CMAKE_SIZEOF_VOID_P).
write_basic_package_version_file(${CMAKE_BINARY_DIR}/derar-config-version.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)

# ---- what the kit holds ---------------------------------------------------------------
install(PROGRAMS ${_kit_binaries} DESTINATION bin)
install(DIRECTORY demo/samples/ DESTINATION bin/samples FILES_MATCHING PATTERN "*.kvd")
# include/ of the tree is the kit's: its headers as they are.
install(DIRECTORY include/ DESTINATION include FILES_MATCHING PATTERN "*.h")
install(FILES helpwindow/derarhelp.c DESTINATION src)
# The MinGW import libraries (derafx.dll has none in the kit: hosts never link it).
install(FILES $<TARGET_LINKER_FILE:derar> $<TARGET_LINKER_FILE:Kiv> ${_kit_derar_lib} ${_kit_kiv_lib}
              ${CMAKE_BINARY_DIR}/lib/derar.def DESTINATION lib)
install(FILES ${_kit_kiv_def} DESTINATION lib RENAME Kiv.def)
install(FILES cmake/derar-config.cmake ${CMAKE_BINARY_DIR}/derar-config-version.cmake DESTINATION lib/cmake/derar)
install(FILES examples/write_objects.c examples/read_chosen.c DESTINATION examples)
install(DIRECTORY docs/ DESTINATION docs)
install(FILES CHANGELOG.md ${_kit_notices} DESTINATION .)
