#include "engine/engine.h"

#include <cstdio>

void Engine::init(HWND& window, HDC& deviceContext) {
  this->window = window;
  this->deviceContext = deviceContext;

  glClearColor(0.25f, 0.25f, 0.25f, 1.0f);
  glClearStencil(0);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);
  glFrontFace(GL_CCW);
  // Blending itself stays off; the function is set for when it is enabled.
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);

  ticks = 0;
}

void Engine::tick() {
  // The clock counts modulo 2^32 and is read as signed: stepping through
  // unsigned arithmetic wraps 2147483647 to -2147483648 without overflow.
  ticks = static_cast<std::int32_t>(static_cast<std::uint32_t>(ticks) + 1u);
}

void Engine::resize(std::int32_t width, std::int32_t height) {
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  // A minimised window reports a height of 0: the projection then stays the
  // identity rather than dividing by zero.
  if (height != 0) {
    gluPerspective(45.0, static_cast<double>(width) / static_cast<double>(height), 1.0, 2001.0);
  }
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void Engine::shutdown() { std::printf("Shutting down.\n"); }

void Engine::requestClose() {
  // The engine's own window is the one handle it holds; the message takes the
  // window's ordinary close path.
  PostMessageA(window, WM_CLOSE, 0, 0);
}
