#include "port/egl_errors.h"

#include <gtest/gtest.h>

namespace {

TEST(EglErrors, CodesAreNamedAsEglHeaderNamesThem) {
  struct Case {
    EGLint code;
    const char* name;
  };
  for (const Case c :
       {Case{EGL_SUCCESS, "EGL_SUCCESS"}, Case{EGL_NOT_INITIALIZED, "EGL_NOT_INITIALIZED"},
        Case{EGL_BAD_ALLOC, "EGL_BAD_ALLOC"}, Case{EGL_BAD_DISPLAY, "EGL_BAD_DISPLAY"},
        Case{EGL_BAD_MATCH, "EGL_BAD_MATCH"}, Case{EGL_BAD_SURFACE, "EGL_BAD_SURFACE"},
        Case{EGL_CONTEXT_LOST, "EGL_CONTEXT_LOST"}, Case{0x2FFF, "EGL error 0x2fff"},
        Case{0x300F, "EGL error 0x300f"}}) {
    EXPECT_EQ(port::eglErrorName(c.code), c.name) << c.code;
  }
}

}  // namespace
