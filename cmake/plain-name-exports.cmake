# derar_plain_name_exports(target def): a DLL of stdcall calls that exports them by their
# plain names (KivOpen, not KivOpen@12) in 32 bits as in 64, as Kiv.dll and its scripted
# double do. On i686 the compiler decorates stdcall names (_KivOpen@12): the DLL exports
# the names that def lists, undecorated by --kill-at, and its import library is made from
# def by `dlltool -k`, which binds callers' decorated references to those plain names
# (ld's own import library would name only the plain symbols, which no caller refers to).
# On x86_64 stdcall names are plain already, and nothing is done.
function(derar_plain_name_exports target def)
  if(NOT WIN32 OR NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
    return()
  endif()
  get_filename_component(def "${def}" ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  target_sources(${target} PRIVATE ${def})
  target_link_options(${target} PRIVATE -Wl,--kill-at)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_DLLTOOL} -d ${def} -k -D $<TARGET_FILE_NAME:${target}> -l $<TARGET_LINKER_FILE:${target}>
    VERBATIM)
endfunction()
