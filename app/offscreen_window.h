// A hidden window with a current OpenGL context, set up by the shell's own
// context code (device context, pixel format, rendering context), so that
// offscreen pictures and tests draw through the very same calls as the demo.
// On Linux, choose the headless display first (port/port.h) to need no X
// server.
#pragma once

#include <string>

#include "app/pixel_format.h"

struct OffscreenWindow {
  HWND window = nullptr;
  RenderingContext rendering;
};

// Opens a width x height window and makes its context current. On failure
// returns false with a one-line reason and leaves nothing open.
bool openOffscreenWindow(int width, int height, OffscreenWindow& offscreen, std::string& error);

// Releases the context and the window; safe on a window that did not open.
void closeOffscreenWindow(OffscreenWindow& offscreen);
