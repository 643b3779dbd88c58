# Cross-build for Windows with mingw-w64 (Debian package mingw-w64); see scripts/build-windows.sh.
# Included by mingw-x86.cmake and mingw-x64.cmake, which set QUORVEL_MINGW_TRIPLE and the processor.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${QUORVEL_MINGW_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${QUORVEL_MINGW_TRIPLE}-g++)
set(CMAKE_RC_COMPILER ${QUORVEL_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QUORVEL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
# The third-party libraries come from pkg-config files in a cache folder (absolute paths).
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Programs and the DLL carry the C and C++ runtimes inside: nothing to ship beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -s")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -s")
