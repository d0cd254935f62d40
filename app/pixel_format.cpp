#include "app/pixel_format.h"

HDC mainDC = nullptr;
HGLRC glContext = nullptr;

PIXELFORMATDESCRIPTOR pixelFormatRequest() {
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
  return descriptor;
}

int setupPixelFormat(HDC deviceContext) {
  const PIXELFORMATDESCRIPTOR descriptor = pixelFormatRequest();
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

RenderingContext setUpRenderingContext(HWND window) {
  RenderingContext made;
  made.deviceContext = GetDC(window);
  setupPixelFormat(made.deviceContext);
  made.context = wglCreateContext(made.deviceContext);
  wglMakeCurrent(made.deviceContext, made.context);
  return made;
}

void releaseRenderingContext(HWND window, const RenderingContext& made) {
  if (made.context == nullptr) {
    return;
  }
  wglMakeCurrent(nullptr, nullptr);
  wglDeleteContext(made.context);
  ReleaseDC(window, made.deviceContext);
}

void createRenderingContext(HWND window) {
  const RenderingContext made = setUpRenderingContext(window);
  mainDC = made.deviceContext;
  glContext = made.context;
}

void releaseRenderingContext(HWND window) {
  releaseRenderingContext(window, RenderingContext{mainDC, glContext});
}
