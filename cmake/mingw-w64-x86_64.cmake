# Cross-build for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix): the posix
# thread model gives std::thread and std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(PONTREL_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PONTREL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PONTREL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${PONTREL_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${PONTREL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Programs that run on a machine without the MinGW runtime DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
