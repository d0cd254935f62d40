#include "app/window_proc.h"

#include "app/pixel_format.h"

Engine engine;
HWND mainWindow = nullptr;

namespace {

// The animation clock's timer: 16 ms is one tick, nominally 62.5 per second.
constexpr UINT_PTR animationTimer = 1;
constexpr UINT animationIntervalMs = 16;

}  // namespace

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      // The console stays empty: the standard streams keep pointing where
      // the process was started, which is where the shutdown line goes.
      AllocConsole();
      SetTimer(window, animationTimer, animationIntervalMs, nullptr);
      createRenderingContext(window);
      mainWindow = window;
      engine.init(mainWindow, mainDC);
      // Creation goes on even without a rendering context: the window opens
      // and closes normally, it just shows no image.
      return 0;

    case WM_DESTROY:
      releaseRenderingContext(window);
      engine.shutdown();
      PostQuitMessage(0);
      return 0;

    case WM_SIZE:
      // A minimised window reports 0 x 0; the engine copes with a zero height.
      engine.resize(LOWORD(lParam), HIWORD(lParam));
      return 0;

    case WM_SYSCOMMAND:
      // Keep the screen saver and the display's power-down away while the
      // window is active. Only these two exact values are refused; everything
      // else, close included, takes the default path.
      if (wParam == SC_SCREENSAVE || wParam == SC_MONITORPOWER) {
        return 0;
      }
      return DefWindowProcA(window, message, wParam, lParam);

    case WM_TIMER:
      if (wParam == animationTimer) {
        engine.tick();
      }
      return 0;

    case WM_MOUSEMOVE:
      return 0;

    case WM_RENDER:
      engine.renderFrame();
      return 0;

    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}
