# Shared by both MinGW-w64 toolchain files; DERAR_MINGW_TRIPLE is set by the caller.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER   ${DERAR_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DERAR_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${DERAR_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${DERAR_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A host copies our three DLLs and nothing else: the C++ runtime, libgcc and
# winpthread are linked into every module; only system DLLs remain as imports.
set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
