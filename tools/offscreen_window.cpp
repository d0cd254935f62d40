#include "tools/offscreen_window.h"

#include "app/pixel_format.h"
#include "port/port.h"

namespace {

const char offscreenClassName[] = "mcubes offscreen";

// Creation and destruction take and give back the rendering context inside
// WM_CREATE and WM_DESTROY, exactly where the demo's window procedure does.
LRESULT CALLBACK offscreenWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      createRenderingContext(window);
      return 0;
    case WM_DESTROY:
      releaseRenderingContext(window);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace

bool openOffscreenWindow(int width, int height, OffscreenWindow& offscreen, std::string& error) {
  offscreen = OffscreenWindow{};
  if (!selectDisplayBackend("headless", error)) {
    return false;
  }

  WNDCLASSA windowClass{};
  windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
  windowClass.lpfnWndProc = offscreenWindowProc;
  windowClass.lpszClassName = offscreenClassName;
  if (RegisterClassA(&windowClass) == 0) {
    error = "cannot register the offscreen window class";
    return false;
  }

  // Created hidden and never shown.
  mainDC = nullptr;
  glContext = nullptr;
  offscreen.window = CreateWindowExA(0, offscreenClassName, "Marching Cubes",
                                     WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0,
                                     width, height, nullptr, nullptr, nullptr, nullptr);
  if (offscreen.window == nullptr) {
    UnregisterClassA(offscreenClassName, nullptr);
    error = "cannot create the offscreen window";
    return false;
  }
  offscreen.deviceContext = mainDC;
  offscreen.context = glContext;
  if (offscreen.context == nullptr) {
    closeOffscreenWindow(offscreen);
    error = "no OpenGL rendering context for the offscreen window";
    return false;
  }
  return true;
}

void closeOffscreenWindow(OffscreenWindow& offscreen) {
  if (offscreen.window != nullptr) {
    DestroyWindow(offscreen.window);
    UnregisterClassA(offscreenClassName, nullptr);
  }
  offscreen = OffscreenWindow{};
}
