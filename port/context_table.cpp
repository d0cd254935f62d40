#include "port/context_table.h"

#include "port/window_table.h"

namespace port {

HGLRC ContextTable::add(EGLContext native, int pixelFormat) {
  const std::uintptr_t id = nextId_++;
  contexts_.emplace(id, Context{native, pixelFormat});
  return reinterpret_cast<HGLRC>(id);
}

const ContextTable::Context* ContextTable::find(HGLRC handle) const {
  const auto found = contexts_.find(handleNumber(handle));
  return found == contexts_.end() ? nullptr : &found->second;
}

void ContextTable::remove(HGLRC handle, GlBinding& gl) {
  const auto found = contexts_.find(handleNumber(handle));
  if (found == contexts_.end()) {
    return;
  }
  if (current_ == handle) {
    releaseCurrent(gl);
  }
  gl.deleteContext(found->second.native);
  contexts_.erase(found);
}

void ContextTable::clear(GlBinding& gl) {
  releaseCurrent(gl);
  for (const auto& entry : contexts_) {
    gl.deleteContext(entry.second.native);
  }
  contexts_.clear();
}

bool ContextTable::makeCurrent(HGLRC handle, HDC deviceContext, EGLSurface drawable,
                               GlBinding& gl) {
  const Context* context = find(handle);
  if (context == nullptr || !gl.makeCurrent(drawable, context->native)) {
    return false;
  }
  current_ = handle;
  currentDeviceContext_ = deviceContext;
  return true;
}

void ContextTable::releaseCurrent(GlBinding& gl) {
  if (current_ != nullptr) {
    gl.makeCurrent(EGL_NO_SURFACE, EGL_NO_CONTEXT);
    current_ = nullptr;
    currentDeviceContext_ = nullptr;
  }
}

}  // namespace port
