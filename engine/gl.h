// The one list of graphics calls: OpenGL 1.1, GLU, and the pixel-format,
// context and buffer-swap calls (Win32 on Windows, the stand-in of port/
// elsewhere). <windows.h> must come before the GL headers on Windows.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include "port/wgl.h"
#endif

#include <GL/gl.h>
#include <GL/glu.h>
