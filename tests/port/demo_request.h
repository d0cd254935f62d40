// The pixel-format request the demo's shell makes: double buffer, RGBA 32,
// depth 24, stencil 32, accumulation 32.
#pragma once

#include "port/wgl.h"

inline PIXELFORMATDESCRIPTOR demoRequest() {
  PIXELFORMATDESCRIPTOR request{};
  request.nSize = sizeof request;
  request.nVersion = 1;
  request.dwFlags =
      PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER | PFD_GENERIC_ACCELERATED;
  request.iPixelType = PFD_TYPE_RGBA;
  request.cColorBits = 32;
  request.cAccumBits = 32;
  request.cDepthBits = 24;
  request.cStencilBits = 32;
  return request;
}
