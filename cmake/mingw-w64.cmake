# Cross-build for Windows with Debian's mingw-w64 compilers, included by the
# toolchain file of each target, which sets DDSIMAGE_MINGW_TRIPLE and
# CMAKE_SYSTEM_PROCESSOR first.  The posix-thread variant is needed because
# GoogleTest uses std::thread and std::mutex.  Programs built here run on
# Linux through wine: see cmake/wine-run.sh.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${DDSIMAGE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DDSIMAGE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${DDSIMAGE_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${DDSIMAGE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# stb (Debian's libstb-dev) is used header-only, included as <stb/...>.  The
# cross compiler gets it from a directory that holds nothing else, so that
# no other native header of /usr/include can stand in for a Windows one.
set(DDSIMAGE_CROSS_INCLUDE_DIR ${CMAKE_BINARY_DIR}/cross-include)
if(EXISTS /usr/include/stb AND NOT EXISTS ${DDSIMAGE_CROSS_INCLUDE_DIR}/stb)
  file(MAKE_DIRECTORY ${DDSIMAGE_CROSS_INCLUDE_DIR})
  file(CREATE_LINK /usr/include/stb ${DDSIMAGE_CROSS_INCLUDE_DIR}/stb SYMBOLIC)
endif()
set(CMAKE_C_STANDARD_INCLUDE_DIRECTORIES ${DDSIMAGE_CROSS_INCLUDE_DIR})
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES ${DDSIMAGE_CROSS_INCLUDE_DIR})

# Link the C++ runtime, libgcc and winpthread into every program and DLL, so
# that nothing built here needs libstdc++-6.dll, libgcc_s_dw2-1.dll or
# libwinpthread-1.dll at run time.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# CTest and GoogleTest's test discovery run the built programs through wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
