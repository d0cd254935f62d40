// The headless display: no X server, no screen. Each window's surface is an
// EGL pbuffer on Mesa's surfaceless platform; GL draws into it exactly as
// into a window, and glReadPixels reads the result back.
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <poll.h>

#include <cstdio>

#include "port/display.h"

namespace {

const char* eglErrorName(EGLint error) {
  switch (error) {
    case EGL_SUCCESS:
      return "EGL_SUCCESS";
    case EGL_NOT_INITIALIZED:
      return "EGL_NOT_INITIALIZED";
    case EGL_BAD_ACCESS:
      return "EGL_BAD_ACCESS";
    case EGL_BAD_ALLOC:
      return "EGL_BAD_ALLOC";
    case EGL_BAD_ATTRIBUTE:
      return "EGL_BAD_ATTRIBUTE";
    case EGL_BAD_CONFIG:
      return "EGL_BAD_CONFIG";
    case EGL_BAD_CONTEXT:
      return "EGL_BAD_CONTEXT";
    case EGL_BAD_CURRENT_SURFACE:
      return "EGL_BAD_CURRENT_SURFACE";
    case EGL_BAD_DISPLAY:
      return "EGL_BAD_DISPLAY";
    case EGL_BAD_MATCH:
      return "EGL_BAD_MATCH";
    case EGL_BAD_NATIVE_PIXMAP:
      return "EGL_BAD_NATIVE_PIXMAP";
    case EGL_BAD_NATIVE_WINDOW:
      return "EGL_BAD_NATIVE_WINDOW";
    case EGL_BAD_PARAMETER:
      return "EGL_BAD_PARAMETER";
    case EGL_BAD_SURFACE:
      return "EGL_BAD_SURFACE";
    case EGL_CONTEXT_LOST:
      return "EGL_CONTEXT_LOST";
    default:
      return "unknown EGL error";
  }
}

// "eglCreatePbufferSurface failed: EGL_BAD_MATCH (0x3009)"
std::string eglFailure(const char* call) {
  const EGLint error = eglGetError();
  char text[128];
  std::snprintf(text, sizeof text, "%s failed: %s (0x%04x)", call, eglErrorName(error),
                static_cast<unsigned>(error));
  return text;
}

void reportEglFailure(const char* call) { std::fprintf(stderr, "%s\n", eglFailure(call).c_str()); }

struct PbufferSurface : NativeSurface {
  int width;
  int height;
  EGLSurface pbuffer = EGL_NO_SURFACE;
  PbufferSurface(int w, int h) : width(w), height(h) {}
};

struct EglContext : NativeContext {
  EGLContext context;
  explicit EglContext(EGLContext c) : context(c) {}
};

class HeadlessDisplay : public DisplayBackend {
 public:
  explicit HeadlessDisplay(EGLDisplay display) : display_(display) { listConfigs(); }

  NativeSurface* createSurface(HWND, const char*, const char*, int width, int height) override {
    return new PbufferSurface(width, height);
  }

  void destroySurface(NativeSurface* surface) override {
    auto* pbuffer = static_cast<PbufferSurface*>(surface);
    if (pbuffer->pbuffer != EGL_NO_SURFACE) {
      eglDestroySurface(display_, pbuffer->pbuffer);
    }
    delete pbuffer;
  }

  void showSurface(NativeSurface*, bool) override {}

  // Nothing happens to an offscreen surface from outside.
  void pumpEvents() override {}

  void waitEvents(int wakeFd, int timeoutMs) override {
    pollfd wake{wakeFd, POLLIN, 0};
    poll(&wake, wakeFd < 0 ? 0 : 1, timeoutMs);
  }

  const std::vector<FramebufferConfig>& framebufferConfigs() override { return configs_; }

  bool setSurfaceConfig(NativeSurface* surface, int index) override {
    auto* pbuffer = static_cast<PbufferSurface*>(surface);
    const EGLint attributes[] = {EGL_WIDTH, pbuffer->width, EGL_HEIGHT, pbuffer->height, EGL_NONE};
    pbuffer->pbuffer = eglCreatePbufferSurface(display_, eglConfigs_[index], attributes);
    if (pbuffer->pbuffer == EGL_NO_SURFACE) {
      reportEglFailure("eglCreatePbufferSurface");
      return false;
    }
    return true;
  }

  NativeContext* createContext(int index) override {
    // The API binding belongs to the calling thread.
    if (!eglBindAPI(EGL_OPENGL_API)) {
      reportEglFailure("eglBindAPI");
      return nullptr;
    }
    // No attributes: the newest compatibility profile, which keeps
    // OpenGL 1.1 and immediate mode.
    const EGLContext context =
        eglCreateContext(display_, eglConfigs_[index], EGL_NO_CONTEXT, nullptr);
    if (context == EGL_NO_CONTEXT) {
      reportEglFailure("eglCreateContext");
      return nullptr;
    }
    return new EglContext(context);
  }

  bool makeCurrent(NativeSurface* surface, NativeContext* context) override {
    const EGLSurface pbuffer =
        surface == nullptr ? EGL_NO_SURFACE : static_cast<PbufferSurface*>(surface)->pbuffer;
    const EGLContext egl =
        context == nullptr ? EGL_NO_CONTEXT : static_cast<EglContext*>(context)->context;
    if (!eglMakeCurrent(display_, pbuffer, pbuffer, egl)) {
      reportEglFailure("eglMakeCurrent");
      return false;
    }
    return true;
  }

  void deleteContext(NativeContext* context) override {
    auto* egl = static_cast<EglContext*>(context);
    if (!eglDestroyContext(display_, egl->context)) {
      reportEglFailure("eglDestroyContext");
    }
    delete egl;
  }

  // A pbuffer has only its back buffer and nothing to present it on: the
  // frame stays there, where glReadPixels finds it before and after.
  // eglSwapBuffers does nothing for a pbuffer, so the frame is flushed here,
  // as a window's swap would flush it. Never flushed, the frames pile up
  // behind llvmpipe's rasteriser threads and memory grows without bound.
  bool swapBuffers(NativeSurface* surface) override {
    const EGLSurface pbuffer = static_cast<PbufferSurface*>(surface)->pbuffer;
    if (pbuffer == EGL_NO_SURFACE) {
      return false;
    }
    if (eglGetCurrentSurface(EGL_DRAW) == pbuffer) {
      glFlush();
    }
    return true;
  }

 private:
  void listConfigs() {
    EGLint count = 0;
    if (!eglGetConfigs(display_, nullptr, 0, &count) || count <= 0) {
      reportEglFailure("eglGetConfigs");
      return;
    }
    eglConfigs_.resize(static_cast<std::size_t>(count));
    eglGetConfigs(display_, eglConfigs_.data(), count, &count);
    eglConfigs_.resize(static_cast<std::size_t>(count));
    for (EGLConfig config : eglConfigs_) {
      const auto get = [&](EGLint attribute) {
        EGLint value = 0;
        eglGetConfigAttrib(display_, config, attribute, &value);
        return value;
      };
      FramebufferConfig offered;
      // A pbuffer stands in for the window and renders into a back buffer.
      offered.drawToWindow = (get(EGL_SURFACE_TYPE) & EGL_PBUFFER_BIT) != 0;
      offered.doubleBuffer = offered.drawToWindow;
      offered.supportOpenGL = (get(EGL_RENDERABLE_TYPE) & EGL_OPENGL_BIT) != 0;
      offered.rgba = get(EGL_COLOR_BUFFER_TYPE) == EGL_RGB_BUFFER;
      offered.multisample = get(EGL_SAMPLES) > 0;
      offered.redBits = get(EGL_RED_SIZE);
      offered.greenBits = get(EGL_GREEN_SIZE);
      offered.blueBits = get(EGL_BLUE_SIZE);
      offered.alphaBits = get(EGL_ALPHA_SIZE);
      offered.depthBits = get(EGL_DEPTH_SIZE);
      offered.stencilBits = get(EGL_STENCIL_SIZE);
      configs_.push_back(offered);
    }
  }

  EGLDisplay display_;
  std::vector<EGLConfig> eglConfigs_;
  std::vector<FramebufferConfig> configs_;
};

}  // namespace

DisplayBackend* openHeadlessDisplay(std::string& error) {
  const auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
      eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (getPlatformDisplay == nullptr) {
    error = eglFailure("eglGetProcAddress(eglGetPlatformDisplayEXT)");
    return nullptr;
  }
  const EGLDisplay display =
      getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  if (display == EGL_NO_DISPLAY) {
    error = eglFailure("eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA)");
    return nullptr;
  }
  if (!eglInitialize(display, nullptr, nullptr)) {
    error = eglFailure("eglInitialize");
    return nullptr;
  }
  // Lives as long as the process: Mesa tears the display down at exit.
  return new HeadlessDisplay(display);
}
