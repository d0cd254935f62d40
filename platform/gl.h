// The one list of graphics calls: OpenGL 1.1, GLU, and the pixel-format,
// context and buffer-swap calls (Win32 on Windows, the stand-in of port/
// elsewhere). The window system's types come first: on Windows the GL
// headers need <windows.h> before them.
#pragma once

#include "platform/win32.h"
#ifndef _WIN32
#include "port/wgl.h"
#endif

#include <GL/gl.h>
#include <GL/glu.h>
