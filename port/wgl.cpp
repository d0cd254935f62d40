// Pixel formats on a window's device context, and the WGL rendering
// contexts that draw into it, on the display's GL binding.
#include "port/internal.h"
#include "port/pixel_format_match.h"
#include "port/port.h"

using port::Hex;
using port::trace;

namespace port {
namespace {

struct ContextRecord {
  EGLContext native;
  int pixelFormat;
};

std::map<std::uintptr_t, ContextRecord> contexts;
std::uintptr_t nextContextId = 1;
bool configsHidden = false;

// The one current context, and the device context it draws on.
HGLRC currentContext = nullptr;
HDC currentDeviceContext = nullptr;

ContextRecord* findContext(HGLRC handle) {
  const auto found = contexts.find(handleNumber(handle));
  return found == contexts.end() ? nullptr : &found->second;
}

GlBinding& gl() { return display().gl(); }

const std::vector<FramebufferConfig>& offeredConfigs() {
  static const std::vector<FramebufferConfig> none;
  return configsHidden ? none : gl().configs();
}

void releaseCurrent() {
  if (currentContext != nullptr) {
    gl().makeCurrent(EGL_NO_SURFACE, EGL_NO_CONTEXT);
    currentContext = nullptr;
    currentDeviceContext = nullptr;
  }
}

}  // namespace

void releaseWindowDrawable(WindowRecord& window) {
  // Win32 leaves the context current with nothing to draw into; here it is
  // released, since its drawable is about to go.
  if (currentDeviceContext == window.deviceContext) {
    releaseCurrent();
  }
  if (window.drawable != EGL_NO_SURFACE) {
    gl().destroyDrawable(window.drawable);
    window.drawable = EGL_NO_SURFACE;
  }
}

}  // namespace port

void hideFramebufferConfigs(bool hidden) { port::configsHidden = hidden; }

int WINAPI ChoosePixelFormat(HDC deviceContext, const PIXELFORMATDESCRIPTOR* request) {
  if (request == nullptr) {
    trace("ChoosePixelFormat", deviceContext);
    return 0;
  }
  trace("ChoosePixelFormat", deviceContext, request->nSize, request->nVersion,
        Hex{request->dwFlags}, request->iPixelType, request->cColorBits, request->cAccumBits,
        request->cDepthBits, request->cStencilBits, Hex{request->dwLayerMask});
  if (port::findWindowByDc(deviceContext) == nullptr) {
    return 0;
  }
  return port::matchPixelFormat(port::offeredConfigs(), *request);
}

BOOL WINAPI SetPixelFormat(HDC deviceContext, int format, const PIXELFORMATDESCRIPTOR*) {
  trace("SetPixelFormat", deviceContext, format);
  port::WindowRecord* window = port::findWindowByDc(deviceContext);
  if (window == nullptr || format < 1 || format > static_cast<int>(port::offeredConfigs().size())) {
    return FALSE;
  }
  // A window's pixel format is set once for its life.
  if (window->pixelFormat != 0) {
    return window->pixelFormat == format;
  }
  const int index = format - 1;
  if (!port::display().prepareSurface(*window->surface, port::gl().visualOf(index))) {
    return FALSE;
  }
  window->drawable = port::gl().createDrawable(*window->surface, index);
  if (window->drawable == EGL_NO_SURFACE) {
    return FALSE;
  }
  window->pixelFormat = format;
  return TRUE;
}

HGLRC WINAPI wglCreateContext(HDC deviceContext) {
  trace("wglCreateContext", deviceContext);
  const port::WindowRecord* window = port::findWindowByDc(deviceContext);
  if (window == nullptr || window->pixelFormat == 0) {
    return nullptr;
  }
  const EGLContext native = port::gl().createContext(window->pixelFormat - 1);
  if (native == EGL_NO_CONTEXT) {
    return nullptr;
  }
  const std::uintptr_t id = port::nextContextId++;
  port::contexts.emplace(id, port::ContextRecord{native, window->pixelFormat});
  return reinterpret_cast<HGLRC>(id);
}

BOOL WINAPI wglMakeCurrent(HDC deviceContext, HGLRC handle) {
  trace("wglMakeCurrent", deviceContext, handle);
  if (handle == nullptr) {
    port::releaseCurrent();
    return TRUE;
  }
  const port::ContextRecord* context = port::findContext(handle);
  const port::WindowRecord* window = port::findWindowByDc(deviceContext);
  if (context == nullptr || window == nullptr || window->pixelFormat != context->pixelFormat ||
      !port::gl().makeCurrent(window->drawable, context->native)) {
    return FALSE;
  }
  port::currentContext = handle;
  port::currentDeviceContext = deviceContext;
  return TRUE;
}

BOOL WINAPI wglDeleteContext(HGLRC handle) {
  trace("wglDeleteContext", handle);
  port::ContextRecord* context = port::findContext(handle);
  if (context == nullptr) {
    return FALSE;
  }
  if (port::currentContext == handle) {
    port::releaseCurrent();
  }
  port::gl().deleteContext(context->native);
  port::contexts.erase(port::handleNumber(handle));
  return TRUE;
}

BOOL WINAPI SwapBuffers(HDC deviceContext) {
  trace("SwapBuffers", deviceContext);
  const port::WindowRecord* window = port::findWindowByDc(deviceContext);
  if (window == nullptr || window->drawable == EGL_NO_SURFACE) {
    return FALSE;
  }
  return port::display().present(window->drawable) ? TRUE : FALSE;
}
