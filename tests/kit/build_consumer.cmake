# Configures and builds the consumer project against an installed kit, from nothing:
#   cmake -DSOURCE=... -DBINARY=... -DTOOLCHAIN=... -DKIT=... -P build_consumer.cmake
# The MinGW toolchain files search packages only below their system root, so the kit
# is named by derar_DIR, as the guide tells cross-compiling hosts.
file(REMOVE_RECURSE ${BINARY})
execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${BINARY} -G Ninja -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}
          -DCMAKE_BUILD_TYPE=Release -Dderar_DIR=${KIT}/lib/cmake/derar
  COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BINARY} COMMAND_ERROR_IS_FATAL ANY)
