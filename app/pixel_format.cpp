#include "app/pixel_format.h"

HDC mainDC = nullptr;
HGLRC glContext = nullptr;

int setupPixelFormat(HDC deviceContext) {
  // Value-initialised: the fields the request does not name stay zero, so
  // only the listed ones steer the choice of format.
  PIXELFORMATDESCRIPTOR descriptor{};
  descriptor.nSize = sizeof(PIXELFORMATDESCRIPTOR);
  descriptor.nVersion = 1;
  descriptor.dwFlags =
      PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER | PFD_GENERIC_ACCELERATED;
  descriptor.iPixelType = PFD_TYPE_RGBA;
  descriptor.cColorBits = 32;
  descriptor.cAccumBits = 32;
  descriptor.cDepthBits = 24;
  descriptor.cStencilBits = 32;
  descriptor.dwLayerMask = 0;

  const int format = ChoosePixelFormat(deviceContext, &descriptor);
  if (format == 0) {
    MessageBoxA(nullptr, "ChoosePixelFormat failed", "Error", MB_OK);
    return 0;
  }
  if (!SetPixelFormat(deviceContext, format, &descriptor)) {
    MessageBoxA(nullptr, "SetPixelFormat failed", "Error", MB_OK);
    return 0;
  }
  return 1;
}

void createRenderingContext(HWND window) {
  mainDC = GetDC(window);
  setupPixelFormat(mainDC);
  glContext = wglCreateContext(mainDC);
  wglMakeCurrent(mainDC, glContext);
}

void releaseRenderingContext(HWND window) {
  if (glContext == nullptr) {
    return;
  }
  wglMakeCurrent(nullptr, nullptr);
  wglDeleteContext(glContext);
  ReleaseDC(window, mainDC);
}
