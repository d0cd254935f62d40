// The headless display: no X server, no screen, no events. A window's
// surface is only its size; GL draws into an EGL pbuffer of that size on
// Mesa's surfaceless platform, exactly as into a window, and glReadPixels
// reads the result back.
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <poll.h>

#include "port/display.h"

namespace port {
namespace {

class HeadlessDisplay : public Display {
 public:
  explicit HeadlessDisplay(EGLDisplay display)
      : gl_(display, GlBinding::Drawables::pbuffers, GlBinding::Client::desktopGl) {}

  GlBinding& gl() override { return gl_; }

  Surface* createSurface(HWND, const char*, const char*, int width, int height) override {
    auto* surface = new Surface;
    surface->width = width;
    surface->height = height;
    return surface;
  }

  bool prepareSurface(Surface&, NativeVisual) override { return true; }
  void showSurface(Surface&, bool) override {}
  void destroySurface(Surface* surface) override { delete surface; }

  // Nothing happens to an offscreen surface from outside.
  void pumpEvents() override {}

  void waitEvents(int wakeFd, int timeoutMs) override {
    pollfd wake{wakeFd, POLLIN, 0};
    poll(&wake, wakeFd < 0 ? 0 : 1, timeoutMs);
  }

 private:
  GlBinding gl_;
};

}  // namespace

EGLDisplay openEglDisplay(EGLenum platform, void* nativeDisplay, std::string& error) {
  const auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
      eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (getPlatformDisplay == nullptr) {
    error = describeEglFailure("eglGetProcAddress(eglGetPlatformDisplayEXT)");
    return EGL_NO_DISPLAY;
  }
  const EGLDisplay display = getPlatformDisplay(platform, nativeDisplay, nullptr);
  if (display == EGL_NO_DISPLAY) {
    error = describeEglFailure("eglGetPlatformDisplayEXT");
    return EGL_NO_DISPLAY;
  }
  if (!eglInitialize(display, nullptr, nullptr)) {
    error = describeEglFailure("eglInitialize");
    return EGL_NO_DISPLAY;
  }
  return display;
}

Display* openHeadlessDisplay(std::string& error) {
  const EGLDisplay display =
      openEglDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, error);
  // Lives as long as the process: Mesa tears the display down at exit.
  return display == EGL_NO_DISPLAY ? nullptr : new HeadlessDisplay(display);
}

}  // namespace port
