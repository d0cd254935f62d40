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

  Surface* createSurface(HWND, const char*, const char*, int, int) override { return new Surface; }

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

std::unique_ptr<Display> openHeadlessDisplay(DisplayEvents&, std::string& error) {
  const EGLDisplay display =
      openEglDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, error);
  return display == EGL_NO_DISPLAY ? nullptr : std::make_unique<HeadlessDisplay>(display);
}

}  // namespace port
