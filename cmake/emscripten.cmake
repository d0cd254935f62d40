# Browser build with Debian's Emscripten: the program becomes WebAssembly with
# a JavaScript loader, run by the page in port/web/.
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)

# emcc's JavaScript passes need acorn, which Debian installs for its own
# Node.js under /usr/share/nodejs; a Node.js from elsewhere finds it only
# through NODE_PATH.
set(CMAKE_C_COMPILER_LAUNCHER env NODE_PATH=/usr/share/nodejs)
set(CMAKE_CXX_COMPILER_LAUNCHER env NODE_PATH=/usr/share/nodejs)
set(CMAKE_C_LINKER_LAUNCHER env NODE_PATH=/usr/share/nodejs)
set(CMAKE_CXX_LINKER_LAUNCHER env NODE_PATH=/usr/share/nodejs)
