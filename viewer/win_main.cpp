// The viewer as a program of its own, entered at WinMain like the demo: on
// Windows a GUI program beside marching-cubes.exe, in the browser the
// viewer's page. It starts at the viewer's defaults.

#include <string>

#include "viewer/viewer_window.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  std::string error;
  const HWND window = openViewer(ViewerOptions{}, CW_USEDEFAULT, CW_USEDEFAULT, error);
  if (window == nullptr) {
    MessageBoxA(nullptr, error.c_str(), "Marching Cubes", MB_ICONERROR);
    return 1;
  }
  return runViewer(window);
}
