// The WGL rendering contexts behind HGLRC handles, and the one that is
// current with the device context it draws on. Each context is an EGL
// context of the display's GL binding.
#pragma once

#include <EGL/egl.h>

#include <cstdint>
#include <map>

#include "port/egl_binding.h"
#include "port/wgl.h"

namespace port {

class ContextTable {
 public:
  struct Context {
    EGLContext native;
    int pixelFormat;
  };

  HGLRC add(EGLContext native, int pixelFormat);
  // Null for handles of contexts that do not exist (any more).
  const Context* find(HGLRC handle) const;
  // Releases it first when it is current.
  void remove(HGLRC handle, GlBinding& gl);
  // Every context, released and deleted.
  void clear(GlBinding& gl);

  HDC currentDeviceContext() const { return currentDeviceContext_; }
  bool makeCurrent(HGLRC handle, HDC deviceContext, EGLSurface drawable, GlBinding& gl);
  void releaseCurrent(GlBinding& gl);

 private:
  std::map<std::uintptr_t, Context> contexts_;
  std::uintptr_t nextId_ = 1;
  HGLRC current_ = nullptr;
  HDC currentDeviceContext_ = nullptr;
};

}  // namespace port
