// The main window's OpenGL-capable, double-buffered pixel format and its
// rendering context: taken at window creation, given back at destruction.
#pragma once

#include "platform/gl.h"
#include "platform/win32.h"

// The main window's device context, taken once with GetDC (the class is
// own-DC, so it serves the window for its whole life). Null at start.
extern HDC mainDC;
// The rendering context; stays null when its creation fails.
extern HGLRC glContext;

// The pixel format asked for, built afresh on each call: drawn to a window
// with OpenGL, double-buffered and generically accelerated (0x1025), RGBA
// with 32 colour, 32 accumulation, 24 depth and 32 stencil bits.
PIXELFORMATDESCRIPTOR pixelFormatRequest();

// Chooses and sets the pixel format on a device context: 1 on success, 0
// after a message box ("ChoosePixelFormat failed" / "SetPixelFormat failed").
int setupPixelFormat(HDC deviceContext);

// What the context set-up made for a window; either may be null.
struct RenderingContext {
  HDC deviceContext = nullptr;
  HGLRC context = nullptr;
};

// GetDC(window), setupPixelFormat (result not consulted), wglCreateContext,
// wglMakeCurrent (result not consulted); returns what it made.
RenderingContext setUpRenderingContext(HWND window);
// Only when a context was made: unbind it, delete it and release the device
// context.
void releaseRenderingContext(HWND window, const RenderingContext& made);

// WM_CREATE: the set-up above, kept in mainDC and glContext.
void createRenderingContext(HWND window);
// WM_DESTROY: the release above for mainDC and glContext. Nothing is reset.
void releaseRenderingContext(HWND window);
