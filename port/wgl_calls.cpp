// The GDI pixel-format and buffer-swap calls and the WGL context calls,
// forwarded to the window system.
#include "port/pixel_format_match.h"
#include "port/window_system.h"

using port::Hexadecimal;
using port::trace;
using port::windowSystem;

int WINAPI ChoosePixelFormat(HDC deviceContext, const PIXELFORMATDESCRIPTOR* request) {
  if (request == nullptr) {
    trace("ChoosePixelFormat", deviceContext);
    return 0;
  }
  trace("ChoosePixelFormat", deviceContext, request->nSize, request->nVersion,
        Hexadecimal{request->dwFlags}, request->iPixelType, request->cColorBits,
        request->cAccumBits, request->cDepthBits, request->cStencilBits,
        Hexadecimal{request->dwLayerMask});
  port::WindowSystem& system = windowSystem();
  if (system.windows.findByDc(deviceContext) == nullptr) {
    return 0;
  }
  return port::matchPixelFormat(system.offeredConfigs(), *request);
}

BOOL WINAPI SetPixelFormat(HDC deviceContext, int format, const PIXELFORMATDESCRIPTOR*) {
  trace("SetPixelFormat", deviceContext, format);
  return windowSystem().setPixelFormat(deviceContext, format) ? TRUE : FALSE;
}

HGLRC WINAPI wglCreateContext(HDC deviceContext) {
  trace("wglCreateContext", deviceContext);
  return windowSystem().createContext(deviceContext);
}

BOOL WINAPI wglMakeCurrent(HDC deviceContext, HGLRC context) {
  trace("wglMakeCurrent", deviceContext, context);
  return windowSystem().makeCurrent(deviceContext, context) ? TRUE : FALSE;
}

BOOL WINAPI wglDeleteContext(HGLRC context) {
  trace("wglDeleteContext", context);
  port::WindowSystem& system = windowSystem();
  if (system.contexts.find(context) == nullptr) {
    return FALSE;
  }
  system.contexts.remove(context, system.display().gl());
  return TRUE;
}

BOOL WINAPI SwapBuffers(HDC deviceContext) {
  trace("SwapBuffers", deviceContext);
  return windowSystem().present(deviceContext) ? TRUE : FALSE;
}
