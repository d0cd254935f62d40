# The part of the mingw-w64 cross builds that does not depend on the CPU,
# included by mingw-i686.cmake and mingw-x86_64.cmake once they have set
# CMAKE_SYSTEM_PROCESSOR, MC_MINGW_TRIPLE and MC_WINE_ARCH.
set(CMAKE_SYSTEM_NAME Windows)

# The POSIX thread model: its standard library has std::mutex and
# std::condition_variable (GoogleTest needs them); linked statically, it adds
# no DLL.
set(CMAKE_C_COMPILER ${MC_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MC_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MC_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MC_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The runtime goes into every executable, so they need no DLL beyond the
# system's own (kernel32, user32, gdi32, opengl32, glu32, msvcrt).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# CLI11 is header-only and lives in the host's /usr/include. Only its own
# folder is made visible to the cross compiler: the rest of /usr/include
# belongs to Linux.
set(MC_HOST_INCLUDE ${CMAKE_BINARY_DIR}/host-include)
if(NOT CMAKE_IN_TRY_COMPILE AND EXISTS /usr/include/CLI AND NOT EXISTS ${MC_HOST_INCLUDE}/CLI)
  file(MAKE_DIRECTORY ${MC_HOST_INCLUDE})
  file(CREATE_LINK /usr/include/CLI ${MC_HOST_INCLUDE}/CLI SYMBOLIC)
endif()
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES ${MC_HOST_INCLUDE})

# Wine of the build's word size, with its prefix inside the build tree.
get_filename_component(MC_SOURCE_ROOT ${CMAKE_CURRENT_LIST_DIR} DIRECTORY)
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${MC_SOURCE_ROOT}/scripts/wine-run;${MC_WINE_ARCH};${CMAKE_BINARY_DIR}/wine-prefix)
