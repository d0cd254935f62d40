#include "app/offscreen_window.h"

namespace {

const char offscreenClassName[] = "mcubes offscreen";

}  // namespace

bool openOffscreenWindow(int width, int height, OffscreenWindow& offscreen, std::string& error) {
  offscreen = OffscreenWindow{};
  WNDCLASSA windowClass{};
  windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.lpszClassName = offscreenClassName;
  if (RegisterClassA(&windowClass) == 0) {
    error = "cannot register the offscreen window class";
    return false;
  }

  // Created hidden and never shown.
  offscreen.window = CreateWindowExA(0, offscreenClassName, "Marching Cubes",
                                     WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0,
                                     width, height, nullptr, nullptr, nullptr, nullptr);
  if (offscreen.window == nullptr) {
    UnregisterClassA(offscreenClassName, nullptr);
    error = "cannot create the offscreen window";
    return false;
  }
  offscreen.rendering = setUpRenderingContext(offscreen.window);
  if (offscreen.rendering.context == nullptr) {
    closeOffscreenWindow(offscreen);
    error = "no OpenGL rendering context for the offscreen window";
    return false;
  }
  return true;
}

void closeOffscreenWindow(OffscreenWindow& offscreen) {
  if (offscreen.window != nullptr) {
    releaseRenderingContext(offscreen.window, offscreen.rendering);
    DestroyWindow(offscreen.window);
    UnregisterClassA(offscreenClassName, nullptr);
  }
  offscreen = OffscreenWindow{};
}
