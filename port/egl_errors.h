// EGL's error codes by the names <EGL/egl.h> gives them, so that a failure
// reads "eglInitialize failed: EGL_NOT_INITIALIZED".
#pragma once

#include <EGL/egl.h>

#include <string>

namespace port {

// "EGL_BAD_DISPLAY" for 0x3008; a code EGL 1.5 does not define as
// "EGL error 0x1234".
std::string eglErrorName(EGLint code);

}  // namespace port
