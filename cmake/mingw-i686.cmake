# Cross build for 32-bit Windows with mingw-w64: the program as shipped. The
# results run under 32-bit Wine here (CTest runs every cross-built executable
# through scripts/wine-run).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MC_MINGW_TRIPLE i686-w64-mingw32)
set(MC_WINE_ARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
