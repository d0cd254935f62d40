// Pixel formats on a window's device context, and the WGL rendering
// contexts that draw into it.
#include <cstdint>
#include <map>
#include <thread>

#include "port/pixel_format_match.h"
#include "port/port.h"
#include "port/window_system.h"
#include "port/window_table.h"

namespace {

struct Context {
  NativeContext* native;
  int pixelFormat;
  // The thread the context is current on, if any: a context is current on
  // at most one thread.
  std::thread::id owner;
};

std::map<std::uintptr_t, Context> contexts;
std::uintptr_t nextContextId = 1;
bool configsHidden = false;

struct Current {
  HGLRC context = nullptr;
  HDC deviceContext = nullptr;
};
thread_local Current current;

std::uintmax_t number(const void* handle) { return reinterpret_cast<std::uintptr_t>(handle); }

Context* findContext(HGLRC handle) {
  const auto found = contexts.find(reinterpret_cast<std::uintptr_t>(handle));
  return found == contexts.end() ? nullptr : &found->second;
}

const std::vector<FramebufferConfig>& offeredConfigs() {
  static const std::vector<FramebufferConfig> none;
  return configsHidden ? none : display().framebufferConfigs();
}

void releaseCurrent() {
  if (current.context == nullptr) {
    return;
  }
  display().makeCurrent(nullptr, nullptr);
  if (Context* context = findContext(current.context)) {
    context->owner = std::thread::id();
  }
  current = Current();
}

}  // namespace

void hideFramebufferConfigs(bool hidden) { configsHidden = hidden; }

void releaseWindowSurface(Window& window) {
  // Win32 leaves the context current with nothing to draw into; here it is
  // released, since its surface is about to go.
  if (current.deviceContext == window.deviceContext) {
    releaseCurrent();
  }
}

int WINAPI ChoosePixelFormat(HDC deviceContext, const PIXELFORMATDESCRIPTOR* descriptor) {
  traceCall("ChoosePixelFormat(0x%jx)", number(deviceContext));
  if (findWindowByDc(deviceContext) == nullptr || descriptor == nullptr) {
    return 0;
  }
  return matchPixelFormat(offeredConfigs(), *descriptor);
}

BOOL WINAPI SetPixelFormat(HDC deviceContext, int format, const PIXELFORMATDESCRIPTOR*) {
  traceCall("SetPixelFormat(0x%jx, %d)", number(deviceContext), format);
  Window* window = findWindowByDc(deviceContext);
  if (window == nullptr || format < 1 || format > static_cast<int>(offeredConfigs().size())) {
    return FALSE;
  }
  // A window's pixel format is set once for its life.
  if (window->pixelFormat != 0) {
    return window->pixelFormat == format;
  }
  if (!display().setSurfaceConfig(window->surface, format - 1)) {
    return FALSE;
  }
  window->pixelFormat = format;
  return TRUE;
}

HGLRC WINAPI wglCreateContext(HDC deviceContext) {
  traceCall("wglCreateContext(0x%jx)", number(deviceContext));
  const Window* window = findWindowByDc(deviceContext);
  if (window == nullptr || window->pixelFormat == 0) {
    return nullptr;
  }
  NativeContext* native = display().createContext(window->pixelFormat - 1);
  if (native == nullptr) {
    return nullptr;
  }
  const std::uintptr_t id = nextContextId++;
  contexts.emplace(id, Context{native, window->pixelFormat, std::thread::id()});
  return reinterpret_cast<HGLRC>(id);
}

BOOL WINAPI wglMakeCurrent(HDC deviceContext, HGLRC handle) {
  traceCall("wglMakeCurrent(0x%jx, 0x%jx)", number(deviceContext), number(handle));
  if (handle == nullptr) {
    releaseCurrent();
    return TRUE;
  }
  Context* context = findContext(handle);
  const Window* window = findWindowByDc(deviceContext);
  if (context == nullptr || window == nullptr || window->pixelFormat != context->pixelFormat ||
      (context->owner != std::thread::id() && context->owner != std::this_thread::get_id())) {
    return FALSE;
  }
  if (!display().makeCurrent(window->surface, context->native)) {
    return FALSE;
  }
  if (current.context != nullptr && current.context != handle) {
    if (Context* previous = findContext(current.context)) {
      previous->owner = std::thread::id();
    }
  }
  context->owner = std::this_thread::get_id();
  current.context = handle;
  current.deviceContext = deviceContext;
  return TRUE;
}

BOOL WINAPI wglDeleteContext(HGLRC handle) {
  traceCall("wglDeleteContext(0x%jx)", number(handle));
  Context* context = findContext(handle);
  if (context == nullptr) {
    return FALSE;
  }
  if (current.context == handle) {
    releaseCurrent();
  } else if (context->owner != std::thread::id()) {
    return FALSE;  // current on another thread
  }
  display().deleteContext(context->native);
  contexts.erase(reinterpret_cast<std::uintptr_t>(handle));
  return TRUE;
}

BOOL WINAPI SwapBuffers(HDC deviceContext) {
  traceCall("SwapBuffers(0x%jx)", number(deviceContext));
  const Window* window = findWindowByDc(deviceContext);
  if (window == nullptr || window->pixelFormat == 0) {
    return FALSE;
  }
  return display().swapBuffers(window->surface) ? TRUE : FALSE;
}
