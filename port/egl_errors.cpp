#include "port/egl_errors.h"

#include <cstdio>

namespace port {

std::string eglErrorName(EGLint code) {
  // EGL_SUCCESS to EGL_CONTEXT_LOST, in the order of their codes.
  static const char* const names[] = {
      "EGL_SUCCESS",       "EGL_NOT_INITIALIZED",     "EGL_BAD_ACCESS",
      "EGL_BAD_ALLOC",     "EGL_BAD_ATTRIBUTE",       "EGL_BAD_CONFIG",
      "EGL_BAD_CONTEXT",   "EGL_BAD_CURRENT_SURFACE", "EGL_BAD_DISPLAY",
      "EGL_BAD_MATCH",     "EGL_BAD_NATIVE_PIXMAP",   "EGL_BAD_NATIVE_WINDOW",
      "EGL_BAD_PARAMETER", "EGL_BAD_SURFACE",         "EGL_CONTEXT_LOST"};
  constexpr EGLint count = sizeof names / sizeof names[0];
  if (code >= EGL_SUCCESS && code < EGL_SUCCESS + count) {
    return names[code - EGL_SUCCESS];
  }
  char text[32];
  std::snprintf(text, sizeof text, "EGL error 0x%04x", static_cast<unsigned>(code));
  return text;
}

}  // namespace port
