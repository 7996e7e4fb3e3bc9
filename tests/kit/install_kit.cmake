# Lays out the kit from nothing, as ./derar.sh kit does:
#   cmake -DBUILD=... -DKIT=... -P install_kit.cmake
file(REMOVE_RECURSE ${KIT})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${KIT} OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
