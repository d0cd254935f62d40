# Cross build for 64-bit Windows with mingw-w64: the same sources and tests
# as the 32-bit program, run under 64-bit Wine, which starts also where
# 32-bit programs cannot.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MC_MINGW_TRIPLE x86_64-w64-mingw32)
set(MC_WINE_ARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
