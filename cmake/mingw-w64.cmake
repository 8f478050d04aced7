# Shared part of the MinGW-w64 toolchain files, which set
# CMAKE_SYSTEM_PROCESSOR and MAPGRAFT_MINGW_TRIPLE before including it.
set(CMAKE_SYSTEM_NAME Windows)

# Either thread model builds the tool; Debian installs both.
find_program(CMAKE_CXX_COMPILER NAMES ${MAPGRAFT_MINGW_TRIPLE}-g++-posix ${MAPGRAFT_MINGW_TRIPLE}-g++-win32
             ${MAPGRAFT_MINGW_TRIPLE}-g++ REQUIRED)
# C: the library's pkg-config file is made for C programs.
find_program(CMAKE_C_COMPILER NAMES ${MAPGRAFT_MINGW_TRIPLE}-gcc-posix ${MAPGRAFT_MINGW_TRIPLE}-gcc-win32
             ${MAPGRAFT_MINGW_TRIPLE}-gcc REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${MAPGRAFT_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No MinGW runtime DLLs to ship: the .exe and libmapgraft's DLL need only what
# Windows itself has (without -static the DLL would load libwinpthread-1.dll).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
