// A hidden window with a current OpenGL context on the headless display
// backend, obtained the way the demo's shell does it (class, window, device
// context, pixel format, rendering context), so that offscreen pictures and
// tests draw through the very same calls as the demo.
#pragma once

#include <string>

#include "app/win32.h"
#include "engine/gl.h"

struct OffscreenWindow {
  HWND window = nullptr;
  HDC deviceContext = nullptr;
  HGLRC context = nullptr;
};

// Opens a width x height window and makes its context current. On failure
// returns false with a one-line reason and leaves nothing open.
bool openOffscreenWindow(int width, int height, OffscreenWindow& offscreen, std::string& error);

// Releases the context and the window; safe on a window that did not open.
void closeOffscreenWindow(OffscreenWindow& offscreen);
