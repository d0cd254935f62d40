// The viewer as a program of its own, entered at WinMain like the demo: on
// Windows a GUI program beside marching-cubes.exe (the browser's viewer page
// has its own, web_main.cpp, which also opens files). It starts at the
// viewer's defaults.

#include <string>

#include "viewer/viewer_window.h"

using namespace mcubes::internal;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  std::string error;
  const HWND window = openViewer(ViewerOptions{}, CW_USEDEFAULT, CW_USEDEFAULT, error);
  if (window == nullptr) {
    MessageBoxA(nullptr, error.c_str(), "Marching Cubes", MB_ICONERROR);
    return 1;
  }
  return runViewer(window);
}
