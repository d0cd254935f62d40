// The one object through which the window procedure drives the picture: the
// animation clock, copies of the window's handles, the fixed OpenGL state,
// the projection, and the frame renderer.
#pragma once

#include <cstdint>

#include "platform/gl.h"

// A plain aggregate with no constructor of its own: the one instance lives in
// static storage and starts all-zero.
struct Engine {
  std::int32_t ticks;  // animation clock, in timer ticks
  HWND window;         // the window drawn into (a copy; the shell owns it)
  HDC deviceContext;   // that window's device context (a copy)

  // Copies the two handles, fixes the OpenGL state and sets the clock to 0.
  // Needs the window's rendering context to be current.
  void init(HWND& window, HDC& deviceContext);
  // One timer tick; wraps from 2147483647 to -2147483648.
  void tick();
  // Viewport and 45-degree perspective projection for a client area.
  void resize(std::int32_t width, std::int32_t height);
  // Draws one frame for the current clock and presents it.
  void renderFrame();
  // Announces the end of the program on standard output.
  void shutdown();
  // Asks the engine's window to close, without waiting.
  void requestClose();
  // Submits the unit cube's twelve-triangle list as one GL_LINES batch of
  // 18 segments; nothing in the demo calls it.
  void drawUnitCube();
};
