// The main window's OpenGL-capable, double-buffered pixel format and its
// rendering context: taken at window creation, given back at destruction.
#pragma once

#include "app/win32.h"
#include "engine/gl.h"

// The main window's device context, taken once with GetDC (the class is
// own-DC, so it serves the window for its whole life). Null at start.
extern HDC mainDC;
// The rendering context; stays null when its creation fails.
extern HGLRC glContext;

// Chooses and sets the pixel format on a device context: 1 on success, 0
// after a message box ("ChoosePixelFormat failed" / "SetPixelFormat failed").
int setupPixelFormat(HDC deviceContext);

// WM_CREATE: mainDC = GetDC(window), setupPixelFormat(mainDC) (result not
// consulted), glContext = wglCreateContext(mainDC), wglMakeCurrent.
void createRenderingContext(HWND window);

// WM_DESTROY: only when glContext is not null, unbind it, delete it and
// release mainDC. Nothing is reset.
void releaseRenderingContext(HWND window);
